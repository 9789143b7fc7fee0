#include "shell/win32/framework/win_app.h"

namespace {

CWinApp* g_pApp = nullptr;

}  // namespace

CWinApp::CWinApp()
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

int WINAPI WinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPSTR lpCmdLine,
                   int /*nShowCmd*/)
{
    if (CWinApp* pApp = AfxGetApp()) {
        pApp->m_lpCmdLine = lpCmdLine != nullptr ? lpCmdLine : "";
        pApp->InitInstance();
    }
    return 0;
}
