#include "shell/win32/framework/dialog.h"

#include "shell/win32/framework/module_instance.h"

namespace {

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return true;
    default:
        return false;
    }
}

}  // namespace

CDialog::CDialog(UINT templateId, CNativeWnd* pParent)
    : m_nTemplateId(templateId), m_pParent(pParent)
{
}

CDialog::CDialog(UINT templateId, HWND hOwner) : m_nTemplateId(templateId), m_hOwner(hOwner) {}

INT_PTR CDialog::DoModal()
{
    // The parent object's window as it is now: it may have been created after this object.
    const HWND hOwner = m_pParent != nullptr ? m_pParent->m_hWnd : m_hOwner;
    return DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nTemplateId), hOwner,
                           DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result)
{
    if (m_hWnd != nullptr) {
        ::EndDialog(m_hWnd, result);
    }
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        // Dialogs open centred: their templates place them at (0, 0), which asks for that.
        CenterWindow();
        return OnInitDialog();
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) {
            OnOK();
            return 0;
        }
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return 0;
        }
        break;
    default:
        break;
    }
    return CNativeWnd::WindowProc(message, wParam, lParam);
}

LRESULT CDialog::DefaultProc(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    // The dialog manager handles the message once the dialog procedure has returned FALSE.
    return 0;
}

std::wstring CDialog::GetItemText(int id) const
{
    const HWND hItem = GetDlgItem(m_hWnd, id);
    if (hItem == nullptr) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hItem)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(hItem, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CDialog::SetItemText(int id, const std::wstring& text)
{
    SetDlgItemTextW(m_hWnd, id, text.c_str());
}

void CDialog::CenterWindow()
{
    RECT area{};
    const HWND hOwner = GetWindow(m_hWnd, GW_OWNER);
    if (hOwner == nullptr || IsWindowVisible(hOwner) == FALSE || IsIconic(hOwner) != FALSE ||
        GetWindowRect(hOwner, &area) == FALSE) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT dialog{};
    GetWindowRect(m_hWnd, &dialog);
    const int width = dialog.right - dialog.left;
    const int height = dialog.bottom - dialog.top;
    ::SetWindowPos(m_hWnd, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        reinterpret_cast<CDialog*>(lParam)->m_hWnd = hWnd;
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
    }
    // Messages before WM_INITDIALOG (the font) find no object yet.
    auto* pDialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    if (pDialog == nullptr) {
        return FALSE;
    }

    bool passedOn = false;
    const LRESULT result = pDialog->Dispatch(message, wParam, lParam, &passedOn);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        pDialog->m_hWnd = nullptr;
    }
    if (passedOn) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
