// The borderless topmost window that covers the show area: the show screen on a Win32 window,
// which turns input into requests to the control dialog. It is also the show's render
// context, bound to itself.
#pragma once

#include "shell/win32/framework/native_wnd.h"
#include "show/show_screen.h"

class CScreenWnd : public CNativeWnd, public CShowScreen {
public:
    // requestTarget: the window its input's requests are posted to, the control dialog.
    explicit CScreenWnd(CNativeWnd& requestTarget);

    // Registers the window class and creates the window, visible and still empty: the start
    // handler places and sizes it. False when the window could not be created.
    bool CreateScreen();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int OnCreate();
    void OnPaint();
    // Input only ever posts: a handler never waits for the dialog.
    void OnInput(ShowInput input);
    void PostRequest(unsigned message);

    CNativeWnd& m_requestTarget;
};
