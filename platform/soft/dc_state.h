// What a device context of the software backend remembers between calls.
#pragma once

#include "platform/gdi.h"
#include "platform/soft/surface.h"

class CHeadlessWnd;

struct CDC::State {
    State();

    // A DC that can be drawn with: made by a window DC or CreateCompatibleDC.
    bool bValid = false;
    // Memory DCs draw into the selected bitmap; window DCs into the window's surface.
    bool bMemory = false;
    soft::Surface* pWindowSurface = nullptr;
    CHeadlessWnd* pWindow = nullptr;  // the window of a window DC

    ColorRef crText = MakeColorRef(0, 0, 0);
    ColorRef crBk = MakeColorRef(255, 255, 255);
    BkMode bkMode = BkMode::Opaque;
    RasterOp rop = RasterOp::CopyPen;
    int x = 0;
    int y = 0;

    // What a fresh DC has selected, so that selecting back the "previous" object works
    // after the first selection.
    CPen defaultPen;
    CBrush defaultBrush;
    CFont defaultFont;
    CBitmap defaultBitmap;

    CPen* pPen = &defaultPen;
    CBrush* pBrush = &defaultBrush;
    CFont* pFont = &defaultFont;
    CBitmap* pBitmap = &defaultBitmap;

    // The surface drawing goes to; null when there is none.
    soft::Surface* Target() const;
};

namespace soft {

// Every DC of this backend measures as a 96-dpi screen.
constexpr int kScreenDpi = 96;

struct ResolvedFont;

// Held while a DC draws: tells a window DC's window afterwards that its surface changed.
class DrawingScope {
public:
    explicit DrawingScope(const CDC::State& state) : m_pWindow(state.pWindow) {}
    DrawingScope(const DrawingScope&) = delete;
    DrawingScope& operator=(const DrawingScope&) = delete;
    ~DrawingScope();

private:
    CHeadlessWnd* m_pWindow;
};

// The native objects behind the handles; null when the object is empty.
Surface* BitmapSurface(const CBitmap& bitmap);
const ResolvedFont* FontFaceOf(const CFont& font);

}  // namespace soft
