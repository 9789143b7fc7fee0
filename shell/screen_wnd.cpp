#include "shell/screen_wnd.h"

#include "platform/win32/paint_dc.h"
#include "shell/draw_tools.h"
#include "shell/framework/win_app.h"
#include "shell/saver_messages.h"

namespace {

constexpr ColorRef kBlack = 0x000000;
constexpr ColorRef kWhite = 0xFFFFFF;
constexpr int kWaitingPoints = 200;
constexpr const char* kWaitingFace = "ＭＳ Ｐ明朝";
constexpr const char* kWaitingText = "最初の画像を計算しています。しばらくお待ちください。";

// The waiting screen lasts until the second zoom picture of a series has started.
constexpr int kFirstShownPicture = 3;

}  // namespace

CScreenWnd::CScreenWnd() : CRenderContext(static_cast<CWnd&>(*this)) {}

bool CScreenWnd::CreateScreen()
{
    // An arrow cursor that stays visible; no background brush, since every paint covers the
    // whole picture area itself.
    const std::wstring className = AfxRegisterWndClass(
        CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW), nullptr, nullptr);
    return CreateEx(0, className, L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, 0);
}

int CScreenWnd::DrawPicture(CDC* pDC)
{
    const ImageBuffer& image = m_bShowGrid ? m_pGrid : m_pDisplay;
    if (!image) {
        return 0;
    }
    return pDC->StretchDIBits(0, 0, m_nWidth, m_nHeight, 0, 0, m_nWidth, m_nHeight, image.get(),
                              MakeDibHeader(m_nWidth, m_nHeight));
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
        PostToMainWindow(WM_SAVER_STOP);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            PostToMainWindow(WM_SAVER_STOP);
        }
        break;
    case WM_CLOSE:
        // Closing the show (Alt+F4) stops it like Esc; destroying only the window would leave
        // the tour rendering and saving unseen.
        PostToMainWindow(WM_SAVER_STOP);
        return 0;
    case WM_RBUTTONDOWN:
        m_bShowGrid = 1;
        PostToMainWindow(WM_SAVER_REDRAW);
        break;
    case WM_RBUTTONUP:
        m_bShowGrid = 0;
        PostToMainWindow(WM_SAVER_REDRAW);
        break;
    case WM_MBUTTONDOWN:
        RecolourDisplay();
        PostToMainWindow(WM_SAVER_REDRAW);
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
    if (m_nShown >= kFirstShownPicture) {
        DrawPicture(&dc);
    } else {
        PaintWaitingScreen(dc);
    }
}

void CScreenWnd::PaintWaitingScreen(CDC& dc)
{
    CDrawTools tools(&dc);
    tools.SelectPenBrush(kBlack, kBlack, 0);
    tools.SelectTextStyle(kWhite, kBlack, kWaitingPoints, kWaitingFace);
    dc.Rectangle(0, 0, m_nWidth, m_nHeight);
    // The background mode stays opaque: the text cell is filled black.
    const CSize extent = dc.GetTextExtent(kWaitingText);
    dc.TextOut((m_nWidth - extent.cx) / 2, (m_nHeight - extent.cy) / 2, kWaitingText);
    tools.RestoreTextStyle();
    tools.RestorePenBrush();
}

void CScreenWnd::PostToMainWindow(unsigned message)
{
    if (CNativeWnd* pMainWnd = AfxGetMainWnd()) {
        PostMessageW(pMainWnd->m_hWnd, message, 0, 0);
    }
}
