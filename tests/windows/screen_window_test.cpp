// The screen window: what its creation sets up, the requests its input posts to the main
// window, and the picture it copies.
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/system.h"
#include "shell/framework/win_app.h"
#include "shell/saver_messages.h"
#include "shell/screen_wnd.h"
#include "test_window.h"

namespace {

class CTestApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
};

CTestApp theTestApp;

class ScreenWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        theTestApp.m_pMainWnd = &m_mainWindow;
        ASSERT_TRUE(m_screen.CreateScreen());
        DrainRequests();
    }

    void TearDown() override { theTestApp.m_pMainWnd = nullptr; }

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
    CScreenWnd m_screen;
};

using Requests = std::vector<UINT>;

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
