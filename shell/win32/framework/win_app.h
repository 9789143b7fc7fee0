// The application object and the program-wide services around it. WinMain hands the program
// to the one application object's InitInstance.
#pragma once

#include <string>

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

    // The window the program's private messages go to.
    CNativeWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
CNativeWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();

// A message box with the program's title; the exclamation icon unless type names another.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);
