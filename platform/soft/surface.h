// A 24-bit pixel surface: what windows and memory bitmaps of the software backend draw into.
#pragma once

#include <cstdint>

#include "platform/gdi.h"
#include "platform/system.h"

namespace soft {

class Surface {
public:
    Surface() = default;
    // Black, width × height; throws std::bad_alloc when it does not fit in memory.
    Surface(int width, int height) { Resize(width, height); }

    void Resize(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }

    ColorRef GetPixel(int x, int y) const;
    void SetPixel(int x, int y, ColorRef color);
    // Copies the pen colour (CopyPen) or toggles the pixel's bits by it (XorPen).
    void Paint(int x, int y, ColorRef color, RasterOp op);
    // Paints the part of [left, right) × [top, bottom) that lies on the surface.
    void PaintRect(int left, int top, int right, int bottom, ColorRef color, RasterOp op);
    // Mixes color into the pixel by coverage (0 leaves it, 255 replaces it).
    void Blend(int x, int y, ColorRef color, int coverage);

    // Rows top-down, blue, green, red, no padding.
    std::uint8_t* Row(int y) { return m_pixels.get() + static_cast<std::size_t>(y) * RowBytes(); }
    const std::uint8_t* Row(int y) const
    {
        return m_pixels.get() + static_cast<std::size_t>(y) * RowBytes();
    }

private:
    std::size_t RowBytes() const { return 3 * static_cast<std::size_t>(m_width); }
    std::uint8_t* At(int x, int y) { return Row(y) + 3 * static_cast<std::size_t>(x); }
    const std::uint8_t* At(int x, int y) const { return Row(y) + 3 * static_cast<std::size_t>(x); }

    int m_width = 0;
    int m_height = 0;
    // Zero from the system and untouched until drawn on: a surface nothing draws on (that
    // of a window without a screen) costs no page of memory.
    platform::LargeBlock m_pixels;
};

}  // namespace soft
