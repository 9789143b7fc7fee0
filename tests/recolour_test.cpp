#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "show/show_screen.h"
#include "tour_support.h"
#include "write_faults.h"

namespace {

// The display image recoloured `turns` times, as the middle button does it.
std::vector<std::uint8_t> Recoloured(std::vector<std::uint8_t> image, int width, int height,
                                     int turns)
{
    const std::size_t stride = ImageStride(width);
    for (int turn = 0; turn < turns; ++turn) {
        for (int row = 0; row < height; ++row) {
            for (std::size_t i = row * stride; i < row * stride + 3 * width; i += 3) {
                const std::uint8_t blue = image[i];
                image[i] = static_cast<std::uint8_t>(image[i + 2] + 64);
                image[i + 2] = static_cast<std::uint8_t>(image[i + 1] + 64);
                image[i + 1] = static_cast<std::uint8_t>(blue + 64);
            }
        }
    }
    return image;
}

// A show screen whose middle button a user-interface thread of the test's presses on request,
// while this thread acts as the tour thread.
class RecolourRace : public ::testing::Test {
protected:
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 60;  // 36000 bytes: written in several parts

    RecolourRace() : window(kWidth, kHeight), screen(window)
    {
        screen.CreateBandsAndPalette(2);
        screen.AllocImages(kWidth, kHeight, 4);
        screen.m_bUnattended = true;
        screen.m_bRunning = 1;
        char pattern[] = "/tmp/orvane_recolour_XXXXXX";
        folder = mkdtemp(pattern);
        screen.m_strFileBase = (folder / "show").string();
    }
    ~RecolourRace() override
    {
        bQuit = true;
        if (ui.joinable()) {
            ui.join();
        }
        std::filesystem::remove_all(folder);
    }
    std::vector<std::uint8_t> Display() const
    {
        return {screen.m_pDisplay.get(), screen.m_pDisplay.get() + ImageSize(kWidth, kHeight)};
    }
    // A middle click on the user-interface thread; back once the click's handler is.
    void Click()
    {
        const int done = nClicks;
        bClick = true;
        while (nClicks == done) {
            std::this_thread::yield();
        }
    }
    void StartUserInterface(bool bClickWithoutEnd)
    {
        ui = std::thread([this, bClickWithoutEnd] {
            while (!bQuit) {
                if (bClickWithoutEnd ? !bPaused : bClick.exchange(false)) {
                    screen.OnShowInput(ShowInput::MiddleButtonDown);
                    ++nClicks;
                }
                std::this_thread::yield();
                bPausedSeen = bPaused.load();
            }
        });
    }

    CHeadlessWnd window;
    CShowScreen screen;
    std::filesystem::path folder;
    std::thread ui;
    std::atomic<bool> bQuit{false};
    std::atomic<bool> bClick{false};
    std::atomic<int> nClicks{0};
    std::atomic<bool> bPaused{false};
    std::atomic<bool> bPausedSeen{false};
};

}  // namespace

TEST(RecolourDisplay, RotatesChannelsAddsSixtyFourAndLeavesPaddingAndGridAlone)
{
    SmallShow show(3, 2);  // stride 12: three padding bytes per row
    std::uint8_t* display = show.context.m_pDisplay.get();
    for (int i = 0; i < 24; ++i) {
        display[i] = static_cast<std::uint8_t>(200 + i);
    }
    const std::vector<std::uint8_t> before(display, display + 24);
    show.context.RecolourDisplay();
    EXPECT_EQ(display[0], static_cast<std::uint8_t>(202 + 64));  // blue ← red + 64
    EXPECT_EQ(display[1], static_cast<std::uint8_t>(200 + 64));  // green ← blue + 64
    EXPECT_EQ(display[2], static_cast<std::uint8_t>(201 + 64));  // red ← green + 64
    EXPECT_EQ(display[9], 209);                                  // padding
    EXPECT_EQ(show.context.m_pGrid[0], 0);
    for (int turn = 1; turn < 12; ++turn) {
        show.context.RecolourDisplay();
    }
    EXPECT_EQ(std::vector<std::uint8_t>(display, display + 24), before);
}

// A click while the picture's file is half written: the file holds the picture as it was when
// its writing began, and the click's recolouring follows at once after.
TEST_F(RecolourRace, AClickWhileThePictureIsSavedRecoloursItAfterItsFileIsWhole)
{
    for (std::size_t i = 0; i < ImageSize(kWidth, kHeight); ++i) {
        screen.m_pDisplay[i] = static_cast<std::uint8_t>(i / 7);
    }
    const std::vector<std::uint8_t> picture = Display();
    StartUserInterface(false);
    bool bClicked = false;
    {
        const ScopedDiskSpace disk(LLONG_MAX, {}, [&](const std::string&) {
            if (!bClicked) {
                bClicked = true;
                Click();  // between the file's first part and the rest
            }
        });
        screen.SaveImages(1);
    }
    ASSERT_TRUE(bClicked);
    std::ifstream file(folder / "show_1.bmp", std::ios::binary);
    const std::vector<std::uint8_t> saved{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    ASSERT_EQ(saved.size(), 54 + picture.size());
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), saved.begin() + 54));
    EXPECT_EQ(Display(), Recoloured(picture, kWidth, kHeight, 1));
}

// Clicks without end while pictures are rendered, zoomed out of and copied in: after each
// render the display image is the new picture recoloured a whole number of times.
TEST_F(RecolourRace, ClicksDuringRendersLeaveOneRecolouringOfOnePicture)
{
    StartUserInterface(true);
    for (int render = 0; render < 12; ++render) {
        screen.Render(-0.275, 0.735, 0.045 / (1 + render));
        bPaused = true;
        while (!bPausedSeen) {
            std::this_thread::yield();
        }
        const std::vector<std::uint8_t> picture(
            screen.m_pWork.get(), screen.m_pWork.get() + ImageSize(kWidth, kHeight));
        const std::vector<std::uint8_t> shown = Display();
        int turns = 0;
        while (turns < 12 && Recoloured(picture, kWidth, kHeight, turns) != shown) {
            ++turns;
        }
        EXPECT_LT(turns, 12) << "render " << render;
        bPaused = false;
        while (bPausedSeen) {
            std::this_thread::yield();
        }
    }
    EXPECT_GT(nClicks, 0);
}
