// The screen saver's preview in a window of its own parent, as the Screen Saver Settings dialog
// holds it: a child that fills the parent, shows the tour there, and ends with the parent.
// (Wine draws no window into another process's window, so only a parent of this process
// shows what the preview draws.)
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/image_layout.h"
#include "shell/win32/preview_wnd.h"
#include "test_window.h"

namespace {

constexpr int kPreviewWidth = 152;
constexpr int kPreviewHeight = 112;

// The distinct colours of the window's client area as the screen shows them.
std::set<std::tuple<int, int, int>> ShownColours(HWND window, int width, int height)
{
    const std::vector<std::uint8_t> pixels = ReadWindowPixels(window, width, height);
    std::set<std::tuple<int, int, int>> colours;
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* pixel = &pixels[ImageStride(width) * row + 3 * x];
            colours.emplace(pixel[2], pixel[1], pixel[0]);
        }
    }
    return colours;
}

// The tour's pictures have many colours; the waiting screen has greys only.
bool ShowsAPicture(const std::set<std::tuple<int, int, int>>& colours)
{
    int coloured = 0;
    for (const auto& [red, green, blue] : colours) {
        coloured += red != green || green != blue ? 1 : 0;
    }
    return coloured >= 32;
}

// Handles the messages of this thread until ready() holds or the time is up.
template <typename Ready>
bool PumpUntil(Ready ready, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (!ready()) {
        if (GetTickCount() - start > milliseconds) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));  // for the caller to see
                return ready();
            }
            DispatchMessageW(&message);
        }
    }
    return true;
}

}  // namespace

TEST(PreviewWindowTest, FillsItsParentShowsTheTourAndEndsWithTheParent)
{
    CTestWindow parent(kPreviewWidth, kPreviewHeight);
    ShowWindow(parent.m_hWnd, SW_SHOWNOACTIVATE);
    CPreviewWnd preview;
    ASSERT_TRUE(preview.Create(parent.m_hWnd));

    RECT rect{};
    GetWindowRect(preview.m_hWnd, &rect);
    RECT parentRect{};
    GetWindowRect(parent.m_hWnd, &parentRect);
    EXPECT_TRUE(EqualRect(&rect, &parentRect));
    EXPECT_EQ(GetParent(preview.m_hWnd), parent.m_hWnd);
    EXPECT_EQ(GetWindowLongW(preview.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(preview.m_nWidth, kPreviewWidth);
    EXPECT_EQ(preview.m_nHeight, kPreviewHeight);

    EXPECT_TRUE(PumpUntil(
        [&] { return ShowsAPicture(ShownColours(parent.m_hWnd, kPreviewWidth, kPreviewHeight)); },
        60000))
        << "no picture of the tour in the preview";

    // The parent goes: the preview stops its tour, which draws into it, and ends its loop.
    parent.DestroyWindow();
    EXPECT_EQ(preview.m_hWnd, nullptr);
    EXPECT_EQ(preview.m_nTourState, -1);
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}
