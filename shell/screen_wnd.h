// The borderless topmost window that covers the show area: it shows the waiting screen until
// pictures are available, then the display image (the grid image while the right button is
// held), and turns input into requests to the control dialog. It is also the show's render
// context, bound to itself.
#pragma once

#include "engine/render_context.h"
#include "shell/framework/native_wnd.h"

class CScreenWnd : public CNativeWnd, public CRenderContext {
public:
    CScreenWnd();

    // Registers the window class and creates the window, visible and still empty: the start
    // handler places and sizes it. False when the window could not be created.
    bool CreateScreen();
    // Copies the image to be shown 1:1 to the DC's origin; returns the rows copied.
    int DrawPicture(CDC* pDC);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int OnCreate();
    void OnPaint();
    void PaintWaitingScreen(CDC& dc);
    // Input only ever posts: a handler never waits for the dialog.
    void PostToMainWindow(unsigned message);
};
