// The application object: WinMain hands the program to the one application object's
// InitInstance.
#pragma once

#include "platform/win32/win32_api.h"

class CNativeWnd;

class CWinApp {
public:
    // Becomes the program's application object; there is exactly one, a global.
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Runs the program, in modal dialogs: the program ends when it returns. There is no
    // message loop of the application's own, so the result can only be FALSE.
    virtual BOOL InitInstance() = 0;

    // The program's main window while InitInstance runs it.
    CNativeWnd* m_pMainWnd = nullptr;
    // The command line after the program's name, as WinMain was given it.
    const char* m_lpCmdLine = "";
};

CWinApp* AfxGetApp();
