// What a screen window of the show does apart from its window system: the waiting screen until
// pictures are available, then the display image (the grid image while the right button is
// held), the reactions to the show's input, and starting and stopping the tour. The Win32
// screen window and the X11 show both are one, bound to their own window.
#pragma once

#include "engine/render_context.h"

class ITourOwner;

// The input a show reacts to; everything else (other keys, mouse movement) does nothing.
enum class ShowInput { LeftButtonDown, EscapeKey, RightButtonDown, RightButtonUp, MiddleButtonDown };

// What the window must do after an input.
enum class ShowRequest { Nothing, Redraw, Stop };

class CShowScreen : public CRenderContext {
public:
    explicit CShowScreen(CWnd& window) : CRenderContext(window) {}

    // The waiting screen, or the picture once the second zoom picture has started.
    void PaintScreen(CDC& dc);
    // Copies the image to be shown 1:1 to the DC's origin; returns the rows copied.
    int DrawPicture(CDC* pDC);
    // Sets the grid flag or recolours as the input asks; never waits.
    ShowRequest OnShowInput(ShowInput input);

    // Marks the tour running and starts its thread for owner; false when no thread could be
    // started (the tour then counts as ended).
    bool StartTour(ITourOwner& owner);
    // The stop sequence: clears the running flag, stops the workers and waits until a started
    // tour thread has ended, so that nothing it writes is left half done.
    void StopTour();

    // m_nShown from which paints show the picture instead of the waiting screen: the second
    // zoom picture's render. A screen too small for zooms lowers it to the first picture.
    static constexpr int kFirstShownPicture = 3;
    int m_nFirstShownPicture = kFirstShownPicture;

private:
    void PaintWaitingScreen(CDC& dc);
};
