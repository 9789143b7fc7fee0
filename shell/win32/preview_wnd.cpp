#include "shell/win32/preview_wnd.h"

#include "engine/target_finder.h"
#include "platform/win32/paint_dc.h"
#include "shell/win32/saver_messages.h"

namespace {

// How often the preview looks whether its parent still exists: a parent whose program ended
// without destroying it takes the preview along only through this.
constexpr UINT kParentWatchMs = 200;
constexpr UINT_PTR kParentWatchTimer = 1;
// Nothing is saved; the slots only count.
constexpr int kPreviewSlots = 10;

}  // namespace

CPreviewWnd::CPreviewWnd() : CShowScreen(static_cast<CWnd&>(*this))
{
    m_bSaveImages = false;
}

bool CPreviewWnd::Create(HWND hParent)
{
    RECT client{};
    GetClientRect(hParent, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    m_hParent = hParent;
    // Disabled: clicks and keys belong to the program that shows the preview.
    const std::wstring className = AfxRegisterWndClass(
        CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW), nullptr, nullptr);
    if (!CreateEx(0, className, L"", WS_CHILD | WS_VISIBLE | WS_DISABLED, 0, 0, width, height,
                  hParent, 0)) {
        return false;
    }
    CreateBandsAndPalette();
    // A window without room for zoom targets would wait for a second zoom picture forever.
    m_nFirstShownPicture =
        width < kMinTargetSide || height < kMinTargetSide ? 1 : kFirstShownPicture;
    AllocImages(width, height);
    SetTimer(m_hWnd, kParentWatchTimer, kParentWatchMs, nullptr);
    Invalidate(true);
    return StartTour(*this);
}

int CPreviewWnd::GetMaxImages()
{
    return kPreviewSlots;
}

void CPreviewWnd::RequestRedraw()
{
    PostMessageW(m_hWnd, WM_SAVER_REDRAW, 0, 0);
}

LRESULT CPreviewWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        CPaintDC dc(this);
        PaintScreen(dc);
        return 0;
    }
    case WM_SAVER_REDRAW:
        Invalidate(true);
        return 0;
    case WM_TIMER:
        if (wParam == kParentWatchTimer && IsWindow(m_hParent) == FALSE) {
            DestroyWindow();
        }
        return 0;
    case WM_DESTROY:
        // Destroyed with its parent: the tour, which draws into this window, ends first.
        StopTour();
        PostQuitMessage(0);
        break;
    default:
        break;
    }
    return CNativeWnd::WindowProc(message, wParam, lParam);
}

void RunPreview(HWND hParent)
{
    if (IsWindow(hParent) == FALSE) {
        return;
    }
    CPreviewWnd preview;
    if (!preview.Create(hParent)) {
        return;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
}
