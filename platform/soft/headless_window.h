// A window that is only a memory surface: what the tests, the headless renderer and other
// Linux tools show a picture in. Client and window DCs on it draw into its pixels.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/soft/surface.h"
#include "platform/window.h"

class CHeadlessWnd : public CWnd {
public:
    // A black client area of width × height; sizes below 0 count as 0.
    CHeadlessWnd(int width = 0, int height = 0);

    CSize GetClientSize() const override;
    // Resizes to a black client area. Not while a DC on the window draws.
    void SetSize(int width, int height);

    // The colour of a client pixel (y from the top); 0 outside the area.
    ColorRef GetPixel(int x, int y) const { return m_surface.GetPixel(x, y); }
    // The client area in the common image layout (bottom-up rows, padded).
    std::vector<std::uint8_t> CopyImage() const;

    soft::Surface& GetSurface() { return m_surface; }
    const soft::Surface& GetSurface() const { return m_surface; }

    // Counts the drawings that DCs on the window have finished, from any thread, so that a
    // window that puts its surface on a screen knows when there is something new to show.
    void NoteDrawn() { ++m_nDrawings; }
    unsigned DrawCount() const { return m_nDrawings; }

private:
    soft::Surface m_surface;
    std::atomic<unsigned> m_nDrawings{0};
};
