// The application object: the program runs the control dialog modally, and everything else
// happens inside it. Under a ".scr" name the dialog starts the show at once.
#include "engine/iteration_kernel.h"
#include "shell/win32/control_dlg.h"
#include "shell/win32/framework/message_box.h"
#include "shell/win32/framework/win_app.h"

class CSaverApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

CSaverApp theApp;

BOOL CSaverApp::InitInstance()
{
    // ORVANE_KERNEL may ask for a kernel this processor cannot run: say so, never run it.
    if (ActiveKernel() == nullptr) {
        AfxMessageBox(KernelChoiceError(), MB_OK);
        return FALSE;
    }
    CControlDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
