#include "engine/render_context.h"

// Rotates the channels (red to blue, blue to green, green to red) and adds 64 to each; twelve
// turns give the picture back.
void CRenderContext::RecolourDisplay()
{
    if (!m_pDisplay) {
        return;
    }
    const std::ptrdiff_t stride = GetStride();
    for (int i = 0; i < m_nHeight; ++i) {
        std::uint8_t* pixel = m_pDisplay.get() + i * stride;
        for (int j = 0; j < m_nWidth; ++j, pixel += 3) {
            const std::uint8_t blue = pixel[0];
            const std::uint8_t green = pixel[1];
            const std::uint8_t red = pixel[2];
            pixel[0] = static_cast<std::uint8_t>(red + 64);
            pixel[1] = static_cast<std::uint8_t>(blue + 64);
            pixel[2] = static_cast<std::uint8_t>(green + 64);
        }
    }
}
