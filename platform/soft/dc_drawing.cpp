// Lines, rectangles and text on a device context of the software backend.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/soft/dc_state.h"
#include "platform/soft/font_engine.h"
#include "platform/soft/line_raster.h"

void CDC::MoveTo(int x, int y)
{
    m_pState->x = x;
    m_pState->y = y;
}

void CDC::LineTo(int x, int y)
{
    State& state = *m_pState;
    if (soft::Surface* surface = state.Target()) {
        const soft::DrawingScope drawing(state);
        const CPen& pen = *state.pPen;
        for (const soft::Pixel& pixel : soft::LinePixels(state.x, state.y, x, y, pen.GetWidth())) {
            surface->Paint(pixel.x, pixel.y, pen.GetColor(), state.rop);
        }
    }
    MoveTo(x, y);
}

// The pen's frame lies inside the rectangle and the brush fills what it leaves; the parts
// do not overlap, so an XOR rectangle toggles every pixel once.
void CDC::Rectangle(int left, int top, int right, int bottom)
{
    State& state = *m_pState;
    soft::Surface* surface = state.Target();
    if (surface == nullptr) {
        return;
    }
    const soft::DrawingScope drawing(state);
    if (left > right) {
        std::swap(left, right);
    }
    if (top > bottom) {
        std::swap(top, bottom);
    }
    const int frame = std::max(state.pPen->GetWidth(), 1);
    const int innerTop = std::min(top + frame, bottom);
    const int innerBottom = std::max(bottom - frame, innerTop);
    const int innerLeft = std::min(left + frame, right);
    const int innerRight = std::max(right - frame, innerLeft);

    const ColorRef pen = state.pPen->GetColor();
    surface->PaintRect(left, top, right, innerTop, pen, state.rop);
    surface->PaintRect(left, innerBottom, right, bottom, pen, state.rop);
    surface->PaintRect(left, innerTop, innerLeft, innerBottom, pen, state.rop);
    surface->PaintRect(innerRight, innerTop, right, innerBottom, pen, state.rop);
    surface->PaintRect(innerLeft, innerTop, innerRight, innerBottom, state.pBrush->GetColor(),
                       state.rop);
}

// Text ignores the raster operation, as in GDI.
void CDC::TextOut(int x, int y, const std::string& text)
{
    State& state = *m_pState;
    soft::Surface* surface = state.Target();
    const soft::ResolvedFont* font = soft::FontFaceOf(*state.pFont);
    if (surface == nullptr || font == nullptr) {
        return;
    }
    const soft::DrawingScope drawing(state);
    const soft::TextImage image = soft::RenderText(*font, state.pFont->GetPixelHeight(), text);
    if (state.bkMode == BkMode::Opaque) {
        surface->PaintRect(x, y, x + image.extent.cx, y + image.extent.cy, state.crBk,
                           RasterOp::CopyPen);
    }
    for (const soft::GlyphImage& glyph : image.glyphs) {
        const std::uint8_t* coverage = glyph.coverage.data();
        for (int row = 0; row < glyph.rows; ++row) {
            for (int column = 0; column < glyph.width; ++column) {
                surface->Blend(x + glyph.left + column, y + glyph.top + row, state.crText,
                               *coverage++);
            }
        }
    }
}

CSize CDC::GetTextExtent(const std::string& text)
{
    const State& state = *m_pState;
    const soft::ResolvedFont* font = soft::FontFaceOf(*state.pFont);
    if (font == nullptr) {
        return CSize{};
    }
    return soft::MeasureText(*font, state.pFont->GetPixelHeight(), text);
}
