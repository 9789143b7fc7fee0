// The screen window: what its creation sets up, the requests its input posts to the main
// window, the picture it copies and what its paint shows.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/system.h"
#include "shell/win32/saver_messages.h"
#include "shell/win32/screen_wnd.h"
#include "test_window.h"

namespace {

class ScreenWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_screen.CreateScreen());
        DrainRequests();
    }

    // The private messages posted to the main window since the last call.
    std::vector<UINT> DrainRequests()
    {
        std::vector<UINT> requests;
        MSG message;
        while (PeekMessageW(&message, m_mainWindow.m_hWnd, WM_SAVER_REDRAW, WM_SAVER_STOP,
                            PM_REMOVE)) {
            requests.push_back(message.message);
        }
        return requests;
    }

    LRESULT Send(UINT message, WPARAM wParam = 0)
    {
        return SendMessageW(m_screen.m_hWnd, message, wParam, 0);
    }

    CTestWindow m_mainWindow;
    CScreenWnd m_screen{m_mainWindow};
};

using Requests = std::vector<UINT>;

// What a paint showed: the bounding box of the pixels that are not black (top-down rows,
// right and bottom exclusive), the brightest channel, and whether only pure grey was seen.
struct Shown {
    int left = INT32_MAX, top = INT32_MAX, right = 0, bottom = 0;
    int brightest = 0;
    bool allGrey = true;
};

Shown Analyse(const std::vector<std::uint8_t>& pixels, int width, int height,
              std::uint8_t grey)
{
    Shown shown;
    const std::size_t stride = ImageSize(width, 1);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* pixel = &pixels[row * stride + 3 * x];
            const int top = height - 1 - row;
            shown.allGrey &= pixel[0] == grey && pixel[1] == grey && pixel[2] == grey;
            if (pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0) {
                continue;
            }
            shown.brightest = std::max({shown.brightest, int{pixel[0]}, int{pixel[1]},
                                        int{pixel[2]}});
            shown.left = std::min(shown.left, x);
            shown.right = std::max(shown.right, x + 1);
            shown.top = std::min(shown.top, top);
            shown.bottom = std::max(shown.bottom, top + 1);
        }
    }
    return shown;
}

}  // namespace

TEST_F(ScreenWindowTest, CreationSizesTheBandsAndBuildsThePalette)
{
    EXPECT_EQ(m_screen.m_bands.size(), 10u * platform::GetProcessorCount());
    // Palette index 40 is pure blue with a little green.
    EXPECT_EQ(m_screen.m_palBlue[40], 255);
    EXPECT_EQ(m_screen.m_palGreen[40], 17);
    EXPECT_EQ(m_screen.m_palRed[40], 0);
    const LONG style = GetWindowLongW(m_screen.m_hWnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_BORDER),
              static_cast<LONG>(WS_POPUP | WS_VISIBLE));
}

TEST_F(ScreenWindowTest, OnlyTheLeftButtonEscapeAndClosingAskToStop)
{
    Send(WM_LBUTTONDOWN);
    EXPECT_EQ(DrainRequests(), Requests{WM_SAVER_STOP});
    Send(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(DrainRequests(), Requests{WM_SAVER_STOP});
    // Closing asks the dialog to stop the show instead of destroying the window under it.
    Send(WM_CLOSE);
    EXPECT_EQ(DrainRequests(), Requests{WM_SAVER_STOP});
    EXPECT_TRUE(IsWindow(m_screen.m_hWnd));

    for (WPARAM key : {WPARAM{VK_SPACE}, WPARAM{VK_RETURN}, WPARAM{'A'}}) {
        Send(WM_KEYDOWN, key);
    }
    Send(WM_MOUSEMOVE);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(DrainRequests(), Requests{});
}

TEST_F(ScreenWindowTest, TheRightButtonShowsTheGridWhileHeld)
{
    Send(WM_RBUTTONDOWN);
    EXPECT_EQ(m_screen.m_bShowGrid, 1);
    EXPECT_EQ(DrainRequests(), Requests{WM_SAVER_REDRAW});
    Send(WM_RBUTTONUP);
    EXPECT_EQ(m_screen.m_bShowGrid, 0);
    EXPECT_EQ(DrainRequests(), Requests{WM_SAVER_REDRAW});
}

TEST_F(ScreenWindowTest, TheMiddleButtonRecoloursTheDisplayImage)
{
    m_screen.AllocImages(2, 1);
    std::uint8_t* pixel = m_screen.m_pDisplay.get();
    const std::uint8_t blue = 10, green = 200, red = 250;
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
    Send(WM_MBUTTONDOWN);
    EXPECT_EQ(pixel[0], (red + 64) % 256);
    EXPECT_EQ(pixel[1], (blue + 64) % 256);
    EXPECT_EQ(pixel[2], (green + 64) % 256);
    EXPECT_EQ(DrainRequests(), Requests{WM_SAVER_REDRAW});
}

TEST_F(ScreenWindowTest, DrawPictureCopiesTheDisplayOrTheGridImage)
{
    constexpr int kWidth = 3;
    constexpr int kHeight = 2;
    m_screen.AllocImages(kWidth, kHeight);
    const std::size_t size = ImageSize(kWidth, kHeight);
    std::memset(m_screen.m_pDisplay.get(), 0x40, size);
    std::memset(m_screen.m_pGrid.get(), 0xC0, size);

    CClientDC client(&m_mainWindow);
    CDC memory;
    CBitmap bitmap;
    ASSERT_TRUE(memory.CreateCompatibleDC(&client));
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&client, kWidth, kHeight));
    CBitmap* pOld = memory.SelectObject(&bitmap);
    std::vector<std::uint8_t> shown(size);
    const auto firstPixel = [&] {
        memory.GetDIBits(&bitmap, 0, kHeight, shown.data(), MakeDibHeader(kWidth, kHeight));
        return shown[0];
    };

    EXPECT_EQ(m_screen.DrawPicture(&memory), kHeight);
    EXPECT_EQ(firstPixel(), 0x40);
    m_screen.m_bShowGrid = 1;
    EXPECT_EQ(m_screen.DrawPicture(&memory), kHeight);
    EXPECT_EQ(firstPixel(), 0xC0);
    memory.SelectObject(pOld);
}

TEST_F(ScreenWindowTest, WaitingScreenUntilTheSecondZoomPictureHasStarted)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    constexpr std::uint8_t kGrey = 0x40;
    m_screen.MoveWindow(0, 0, width, height, false);
    m_screen.AllocImages(width, height);
    std::memset(m_screen.m_pDisplay.get(), kGrey, ImageSize(width, height));
    const auto paint = [&](int shown) {
        m_screen.m_nShown = shown;
        RedrawWindow(m_screen.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return Analyse(ReadWindowPixels(m_screen.m_hWnd, width, height), width, height, kGrey);
    };

    EXPECT_TRUE(paint(3).allGrey) << "the third render shows the picture";
    // Over the picture: black everywhere but one centred line of white text.
    const Shown waiting = paint(2);
    EXPECT_FALSE(waiting.allGrey);
    EXPECT_EQ(waiting.brightest, 255);
    EXPECT_LE(std::abs(waiting.left + waiting.right - width), 8)
        << waiting.left << " to " << waiting.right;
    EXPECT_LE(std::abs(waiting.top + waiting.bottom - height), 8)
        << waiting.top << " to " << waiting.bottom;
    EXPECT_LT(waiting.bottom - waiting.top, 40) << "one line of 20 points";
    EXPECT_TRUE(paint(3).allGrey);
}
