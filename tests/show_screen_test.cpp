#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "engine/tour.h"
#include "platform/soft/headless_window.h"
#include "show/show_screen.h"

namespace {

constexpr ColorRef kBlack = 0x000000;
constexpr ColorRef kWhite = 0xFFFFFF;

// A show screen on a headless window, with small images that differ from each other.
struct ScreenFixture : ::testing::Test {
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 60;

    ScreenFixture() : window(kWidth, kHeight), screen(window)
    {
        screen.CreateBandsAndPalette(2);
        screen.AllocImages(kWidth, kHeight);
        const std::size_t size = ImageSize(kWidth, kHeight);
        for (std::size_t i = 0; i < size; ++i) {
            screen.m_pDisplay[i] = static_cast<std::uint8_t>(i * 7);
            screen.m_pGrid[i] = static_cast<std::uint8_t>(i * 13 + 1);
        }
    }

    void Paint()
    {
        CClientDC dc(&window);
        screen.PaintScreen(dc);
    }
    bool Shows(const ImageBuffer& image)
    {
        const std::vector<std::uint8_t> shown = window.CopyImage();
        return std::memcmp(shown.data(), image.get(), shown.size()) == 0;
    }

    CHeadlessWnd window;
    CShowScreen screen;
};

TEST_F(ScreenFixture, WaitingScreenUntilTheSecondZoomPicture)
{
    for (int shown = 0; shown < CShowScreen::kFirstShownPicture; ++shown) {
        screen.m_nShown = shown;
        window.GetSurface().PaintRect(0, 0, kWidth, kHeight, 0x123456, RasterOp::CopyPen);
        Paint();
        // Black all over, white text in the middle.
        EXPECT_EQ(window.GetPixel(0, 0), kBlack);
        EXPECT_EQ(window.GetPixel(kWidth - 1, kHeight - 1), kBlack);
        int white = 0;
        for (int x = 0; x < kWidth; ++x) {
            white += window.GetPixel(x, kHeight / 2) == kWhite ? 1 : 0;
        }
        EXPECT_GT(white, 10) << "m_nShown " << shown;
    }
    screen.m_nShown = CShowScreen::kFirstShownPicture;
    Paint();
    EXPECT_TRUE(Shows(screen.m_pDisplay));
}

TEST_F(ScreenFixture, ScreenWithoutZoomsShowsTheFirstPicture)
{
    screen.m_nFirstShownPicture = 1;
    screen.m_nShown = 1;
    Paint();
    EXPECT_TRUE(Shows(screen.m_pDisplay));
}

TEST_F(ScreenFixture, InputSetsTheGridRecoloursAndAsksToStop)
{
    screen.m_nShown = CShowScreen::kFirstShownPicture;
    EXPECT_EQ(screen.OnShowInput(ShowInput::RightButtonDown), ShowRequest::Redraw);
    EXPECT_EQ(screen.m_bShowGrid.load(), 1);
    Paint();
    EXPECT_TRUE(Shows(screen.m_pGrid));
    EXPECT_EQ(screen.OnShowInput(ShowInput::RightButtonUp), ShowRequest::Redraw);
    EXPECT_EQ(screen.m_bShowGrid.load(), 0);

    const std::uint8_t blue = screen.m_pDisplay[3];
    const std::uint8_t green = screen.m_pDisplay[4];
    const std::uint8_t red = screen.m_pDisplay[5];
    EXPECT_EQ(screen.OnShowInput(ShowInput::MiddleButtonDown), ShowRequest::Redraw);
    EXPECT_EQ(screen.m_pDisplay[3], static_cast<std::uint8_t>(red + 64));
    EXPECT_EQ(screen.m_pDisplay[4], static_cast<std::uint8_t>(blue + 64));
    EXPECT_EQ(screen.m_pDisplay[5], static_cast<std::uint8_t>(green + 64));

    EXPECT_EQ(screen.OnShowInput(ShowInput::LeftButtonDown), ShowRequest::Stop);
    EXPECT_EQ(screen.OnShowInput(ShowInput::EscapeKey), ShowRequest::Stop);
    EXPECT_EQ(screen.m_bRunning.load(), 0);  // stopping is the window's business
}

class CountingOwner : public ITourOwner {
public:
    explicit CountingOwner(CRenderContext& context) : m_context(context) {}
    CRenderContext* GetRenderContext() override { return &m_context; }
    int GetMaxImages() override { return 10; }
    void RequestRedraw() override { ++m_nRedraws; }

    std::atomic<int> m_nRedraws{0};

private:
    CRenderContext& m_context;
};

TEST(ShowScreenTour, StopWaitsForTheTourThreadAndIsHarmlessTwice)
{
    CHeadlessWnd window(64, 48);
    CShowScreen screen(window);
    screen.CreateBandsAndPalette(2);
    screen.AllocImages(64, 48);
    screen.m_bUnattended = true;
    screen.m_bSaveImages = false;
    screen.StopTour();  // never started: returns at once
    EXPECT_EQ(screen.m_nTourState.load(), 0);

    CountingOwner owner(screen);
    ASSERT_TRUE(screen.StartTour(owner));
    EXPECT_EQ(screen.m_bRunning.load(), 1);
    while (owner.m_nRedraws == 0) {
        platform::Sleep(1);
    }
    screen.StopTour();
    EXPECT_EQ(screen.m_nTourState.load(), -1);
    EXPECT_EQ(screen.m_bRunning.load(), 0);
    screen.StopTour();
}

}  // namespace
