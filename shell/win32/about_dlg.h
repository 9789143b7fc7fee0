// The About box, opened from the control dialog's system menu. Its OK button and close box
// end it; it has nothing of its own.
#pragma once

#include "shell/win32/framework/dialog.h"
#include "shell/win32/resource.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CNativeWnd* pOwner) : CDialog(IDD_ABOUTBOX, pOwner) {}
};
