#include "platform/soft/surface.h"

#include <algorithm>
#include <new>

#include "platform/system.h"

namespace soft {

namespace {

std::uint8_t Red(ColorRef c) { return static_cast<std::uint8_t>(c & 0xFF); }
std::uint8_t Green(ColorRef c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
std::uint8_t Blue(ColorRef c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// bg + (fg - bg) × coverage / 255, rounded to nearest.
std::uint8_t Mix(int bg, int fg, int coverage)
{
    return static_cast<std::uint8_t>((bg * 255 + (fg - bg) * coverage + 127) / 255);
}

}  // namespace

void Surface::Resize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    const std::size_t size = 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    m_pixels = platform::AllocateLarge(size);
    if (!m_pixels && size > 0) {
        m_width = m_height = 0;
        throw std::bad_alloc();
    }
    m_width = width;
    m_height = height;
}

ColorRef Surface::GetPixel(int x, int y) const
{
    if (!Contains(x, y)) {
        return 0;
    }
    const std::uint8_t* p = At(x, y);
    return MakeColorRef(p[2], p[1], p[0]);
}

void Surface::SetPixel(int x, int y, ColorRef color)
{
    Paint(x, y, color, RasterOp::CopyPen);
}

void Surface::Paint(int x, int y, ColorRef color, RasterOp op)
{
    if (!Contains(x, y)) {
        return;
    }
    std::uint8_t* p = At(x, y);
    if (op == RasterOp::XorPen) {
        p[0] ^= Blue(color);
        p[1] ^= Green(color);
        p[2] ^= Red(color);
    } else {
        p[0] = Blue(color);
        p[1] = Green(color);
        p[2] = Red(color);
    }
}

void Surface::PaintRect(int left, int top, int right, int bottom, ColorRef color, RasterOp op)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, m_width);
    bottom = std::min(bottom, m_height);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            Paint(x, y, color, op);
        }
    }
}

void Surface::Blend(int x, int y, ColorRef color, int coverage)
{
    if (!Contains(x, y) || coverage <= 0) {
        return;
    }
    std::uint8_t* p = At(x, y);
    coverage = std::min(coverage, 255);
    p[0] = Mix(p[0], Blue(color), coverage);
    p[1] = Mix(p[1], Green(color), coverage);
    p[2] = Mix(p[2], Red(color), coverage);
}

}  // namespace soft
