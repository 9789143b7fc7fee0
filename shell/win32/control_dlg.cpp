#include "shell/win32/control_dlg.h"

#include <cstddef>
#include <cstdlib>
#include <new>

#include "shell/win32/about_dlg.h"
#include "shell/win32/display_query.h"
#include "shell/win32/framework/message_box.h"
#include "shell/win32/framework/module_instance.h"
#include "shell/win32/picture_folder.h"
#include "shell/win32/resource.h"
#include "shell/win32/saver_messages.h"
#include "shell/win32/saver_settings.h"
#include "shell/win32/screen_wnd.h"
#include "show/count_text.h"
#include "show/display_area.h"

namespace {

constexpr int kDefaultMaxImages = 10;
constexpr char kAlreadyRunning[] = "既に実行しています";
constexpr char kPicturesNotSaved[] = "画像を保存できませんでした。";

}  // namespace

CControlDlg::CControlDlg(bool bScreenSaver, HWND hOwner)
    : CDialog(IDD_CONTROL, hOwner),
      m_bScreenSaver(bScreenSaver),
      m_hIcon(LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME)))
{
}

CRenderContext* CControlDlg::GetRenderContext()
{
    return m_pScreenWnd;
}

int CControlDlg::GetMaxImages()
{
    return m_nMaxImages;
}

void CControlDlg::RequestRedraw()
{
    PostMessageW(m_hWnd, WM_SAVER_REDRAW, 0, 0);
}

BOOL CControlDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (const HMENU hSystemMenu = GetSystemMenu(m_hWnd, FALSE)) {
        const wchar_t* pAbout = nullptr;
        const int length = LoadStringW(AfxGetInstanceHandle(), IDS_ABOUTBOX,
                                       reinterpret_cast<LPWSTR>(&pAbout), 0);
        if (length > 0) {
            const std::wstring about(pAbout, static_cast<std::size_t>(length));
            AppendMenuW(hSystemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(hSystemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }

    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // The count last chosen. The edit box reports the change, which sets m_nMaxImages.
    SetItemText(IDC_MAX_IMAGES, std::to_wstring(LoadMaxImages().value_or(kDefaultMaxImages)));

    // A screen saver starts the show before the dialog is first shown.
    if (m_bScreenSaver) {
        OnStart();
    }
    return TRUE;
}

void CControlDlg::OnCancel()
{
    StopShow();
    CDialog::OnCancel();
}

LRESULT CControlDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam));
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_ACTIVATE:
        // A screen saver's dialog opens below the running show and must not take the keyboard
        // from it: keys would press its hidden buttons, and the hidden message box of a second
        // start would swallow the Esc meant for the show. The show is activated from a posted
        // message: activating from inside WM_ACTIVATE would re-enter the activation under way.
        if (LOWORD(wParam) != WA_INACTIVE && ShowHasKeyboard()) {
            PostMessageW(m_hWnd, WM_SAVER_ACTIVATE_SHOW, 0, 0);
            return 0;
        }
        break;
    case WM_SAVER_ACTIVATE_SHOW:
        if (ShowHasKeyboard()) {
            SetActiveWindow(m_pScreenWnd->m_hWnd);
        }
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_START) {
            OnStart();
            return 0;
        }
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_EXIT) {
            OnExit();
            return 0;
        }
        if (HIWORD(wParam) == EN_CHANGE && LOWORD(wParam) == IDC_MAX_IMAGES) {
            OnChangeMaxImages();
            return 0;
        }
        break;
    case WM_SAVER_REDRAW:
        return OnSaverRedraw();
    case WM_SAVER_STOP:
        return OnSaverStop();
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        // However the dialog closes, the count chosen in it is kept for the next time.
        if (!m_bScreenSaver) {
            StoreMaxImages(m_nMaxImages);
        }
        break;
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

bool CControlDlg::ShowHasKeyboard() const
{
    return m_pScreenWnd != nullptr && m_pScreenWnd->m_bRunning != 0 && m_bScreenSaver;
}

void CControlDlg::OnSysCommand(UINT nID)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
    } else {
        Default();
    }
}

void CControlDlg::OnStart()
{
    if (m_pScreenWnd != nullptr) {
        AfxMessageBox(kAlreadyRunning, MB_OK);
        return;
    }
    // One show per session: a screen saver leaves another program's running show alone and
    // ends unseen; the start button says that a show runs.
    if (!m_showLock.Acquire(m_hWnd)) {
        if (m_bScreenSaver) {
            EndDialog(IDCANCEL);
        } else {
            AfxMessageBox(kAlreadyRunning, MB_OK);
        }
        return;
    }
    if (!m_bScreenSaver) {
        StoreMaxImages(m_nMaxImages);
    }

    const DisplayRect area = ChooseShowArea(CollectDisplays(QueryDisplay), PrimaryDisplay);

    m_pScreenWnd = new (std::nothrow) CScreenWnd(*this);
    if (m_pScreenWnd == nullptr || !m_pScreenWnd->CreateScreen()) {
        ReportCreationFailure();
        return;
    }
    PrepareSaving();
    m_pScreenWnd->MoveWindow(area.left, area.top, area.width, area.height, true);
    if (m_bScreenSaver) {
        m_covers.Cover(area, *this);
    }
    // Above the covers too.
    m_pScreenWnd->SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0,
                               SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    m_pScreenWnd->AllocImages(area.width, area.height);
    m_pScreenWnd->Invalidate(true);
    m_pScreenWnd->StartTour(*this);
}

void CControlDlg::PrepareSaving()
{
    const SaveTarget target = ChooseSaveTarget(m_pScreenWnd->m_strFileBase);
    m_strSaveProblem = target.problem;
    if (target.fileBase.empty()) {
        m_pScreenWnd->m_bSaveImages = false;  // the show goes on without saving
        return;
    }
    m_pScreenWnd->m_strFileBase = target.fileBase;
    m_pScreenWnd->m_fnSaveFailed = [this](const std::string& path, int error) {
        if (m_strSaveProblem.empty()) {
            m_strSaveProblem = DescribeSaveFailure(path, error);
        }
    };
}

void CControlDlg::ReportCreationFailure()
{
    delete m_pScreenWnd;
    m_pScreenWnd = nullptr;
    m_showLock.Release();
    AfxMessageBox("画面を作成できません", MB_OK);
    OnOK();
}

bool CControlDlg::StopShow()
{
    if (m_pScreenWnd == nullptr) {
        return false;
    }
    // No messages are handled meanwhile. A tour not started yet means the start's
    // out-of-memory box is open and its loop delivered this stop.
    m_pScreenWnd->StopTour();
    m_pScreenWnd->DestroyWindow();
    delete m_pScreenWnd;
    m_pScreenWnd = nullptr;
    m_covers.Remove();
    m_showLock.Release();
    // The dialog is in view again: it says once what could not be saved. A screen saver's
    // process ends unseen.
    if (!m_bScreenSaver && !m_strSaveProblem.empty()) {
        AfxMessageBox(std::string(kPicturesNotSaved) + "\n" + m_strSaveProblem, MB_OK);
    }
    return true;
}

void CControlDlg::OnExit()
{
    if (StopShow()) {
        OnOK();
    }
}

void CControlDlg::OnChangeMaxImages()
{
    m_nMaxImages = ParseCountText(platform::win32::WideToUtf8(GetItemText(IDC_MAX_IMAGES)));
}

void CControlDlg::OnClose()
{
    OnExit();
    // The dialog manager turns the close into the cancel command.
    Default();
}

LRESULT CControlDlg::OnSaverRedraw()
{
    if (m_pScreenWnd != nullptr) {
        m_pScreenWnd->Invalidate(true);
    }
    return 0;
}

LRESULT CControlDlg::OnSaverStop()
{
    OnExit();
    if (m_bScreenSaver) {
        std::exit(0);
    }
    return 0;
}
