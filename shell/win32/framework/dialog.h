// A modal dialog built from a dialog template of the program's resources. The dialog
// manager's own handling is the default handling of its messages: a handler that calls
// Default() leaves the message to it.
#pragma once

#include <string>

#include "shell/win32/framework/native_wnd.h"

class CDialog : public CNativeWnd {
public:
    // pParent: the owner, or none.
    explicit CDialog(UINT templateId, CNativeWnd* pParent = nullptr);
    // hOwner: a window of any program, or none.
    CDialog(UINT templateId, HWND hOwner);

    // Shows the dialog until EndDialog; returns the value given to it, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

protected:
    // Returns TRUE to let the system put the focus on the first tab stop.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // WM_INITDIALOG and the OK and Cancel commands; everything else goes to Default().
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::wstring GetItemText(int id) const;
    void SetItemText(int id, const std::wstring& text);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Centres the dialog on its owner, or on the work area when it has none.
    void CenterWindow();

    UINT m_nTemplateId;
    CNativeWnd* m_pParent = nullptr;
    HWND m_hOwner = nullptr;
};
