#include "shell/win32/screen_wnd.h"

#include "platform/win32/paint_dc.h"
#include "shell/win32/saver_messages.h"

CScreenWnd::CScreenWnd(CNativeWnd& requestTarget)
    : CShowScreen(static_cast<CWnd&>(*this)), m_requestTarget(requestTarget)
{
}

bool CScreenWnd::CreateScreen()
{
    // An arrow cursor that stays visible; no background brush, since every paint covers the
    // whole picture area itself.
    const std::wstring className = AfxRegisterWndClass(
        CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW), nullptr, nullptr);
    return CreateEx(0, className, L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, 0);
}

LRESULT CScreenWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Moving, sizing and destroying get the default handling; so does every message
    // below after its own action.
    switch (message) {
    case WM_CREATE:
        return OnCreate();
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
        OnInput(ShowInput::LeftButtonDown);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            OnInput(ShowInput::EscapeKey);
        }
        break;
    case WM_CLOSE:
        // Closing the show (Alt+F4) stops it like Esc; destroying only the window would leave
        // the tour rendering and saving unseen.
        PostRequest(WM_SAVER_STOP);
        return 0;
    case WM_RBUTTONDOWN:
        OnInput(ShowInput::RightButtonDown);
        break;
    case WM_RBUTTONUP:
        OnInput(ShowInput::RightButtonUp);
        break;
    case WM_MBUTTONDOWN:
        OnInput(ShowInput::MiddleButtonDown);
        break;
    default:
        break;
    }
    return CNativeWnd::WindowProc(message, wParam, lParam);
}

int CScreenWnd::OnCreate()
{
    if (Default() == -1) {
        return -1;
    }
    CreateBandsAndPalette();
    return 0;
}

void CScreenWnd::OnPaint()
{
    CPaintDC dc(this);
    PaintScreen(dc);
}

void CScreenWnd::OnInput(ShowInput input)
{
    switch (OnShowInput(input)) {
    case ShowRequest::Stop:
        PostRequest(WM_SAVER_STOP);
        break;
    case ShowRequest::Redraw:
        PostRequest(WM_SAVER_REDRAW);
        break;
    case ShowRequest::Nothing:
        break;
    }
}

void CScreenWnd::PostRequest(unsigned message)
{
    if (m_requestTarget.m_hWnd != nullptr) {
        PostMessageW(m_requestTarget.m_hWnd, message, 0, 0);
    }
}
