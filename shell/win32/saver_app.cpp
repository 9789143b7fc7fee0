// The application object. What the program does comes from its name and its arguments: under
// a ".scr" name it is a screen saver and does what Windows asks of it (the show, a preview,
// the settings); under any other name it opens the control dialog. Everything but the preview
// happens inside the modal control dialog.
#include "engine/iteration_kernel.h"
#include "platform/system.h"
#include "shell/win32/control_dlg.h"
#include "shell/win32/framework/message_box.h"
#include "shell/win32/framework/win_app.h"
#include "shell/win32/preview_wnd.h"
#include "shell/win32/run_mode.h"
#include "shell/win32/show_lock.h"

class CSaverApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

CSaverApp theApp;

BOOL CSaverApp::InitInstance()
{
    const Launch launch = ParseLaunch(platform::GetModulePath(), m_lpCmdLine);
    const HWND hWindow = reinterpret_cast<HWND>(launch.window);
    if (launch.mode == RunMode::None) {
        return FALSE;
    }
    // ORVANE_KERNEL may ask for a kernel this processor cannot run: say so, never run it. A
    // preview shows no dialog of its own.
    if (ActiveKernel() == nullptr) {
        if (launch.mode != RunMode::Preview) {
            AfxMessageBox(KernelChoiceError(), MB_OK);
        }
        return FALSE;
    }
    if (launch.mode == RunMode::Preview) {
        RunPreview(hWindow);
        return FALSE;
    }
    // While a show runs, opening the program again brings that show's dialog forward.
    if (launch.mode == RunMode::Application && BringRunningShowForward()) {
        return FALSE;
    }
    // A settings request names the window to own the dialog; a stale one is no owner.
    CControlDlg dialog(launch.mode == RunMode::ScreenSaver,
                       IsWindow(hWindow) != FALSE ? hWindow : nullptr);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
