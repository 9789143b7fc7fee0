// The screen saver's preview: the show in miniature inside a window of another program (the
// small screen of the Screen Saver Settings dialog). It fills that window, renders the tour at
// its own size, saves nothing, takes no input, and ends when that window goes.
#pragma once

#include "engine/tour.h"
#include "shell/win32/framework/native_wnd.h"
#include "show/show_screen.h"

class CPreviewWnd : public CNativeWnd, public CShowScreen, public ITourOwner {
public:
    CPreviewWnd();

    // Creates the preview as a child filling hParent's client area and starts the tour.
    // False when the window could not be made.
    bool Create(HWND hParent);

    CRenderContext* GetRenderContext() override { return this; }
    int GetMaxImages() override;
    void RequestRedraw() override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HWND m_hParent = nullptr;
};

// Shows the preview in hParent until that window is destroyed. Returns at once when hParent is
// not a window.
void RunPreview(HWND hParent);
