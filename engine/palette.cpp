#include "engine/palette.h"

#include <algorithm>

#include "engine/render_context.h"

namespace {

struct RampStop {
    double position;
    std::uint32_t colour;  // 0xRRGGBB
};

constexpr RampStop kRamp[] = {
    {0.0, 0x000000},
    {0.4, 0x0011FF},
    {0.8, 0x11AAFF},
    {1.0, 0xFFFFFF},
};

}  // namespace

std::uint32_t PaletteRamp(double t)
{
    for (int k = 0; kRamp[k].position < 1.0; ++k) {
        const RampStop& from = kRamp[k];
        const RampStop& to = kRamp[k + 1];
        if (!(from.position <= t && t < to.position)) {
            continue;
        }
        const double f = (t - from.position) / (to.position - from.position);
        std::uint32_t colour = 0;
        for (const int shift : {16, 8, 0}) {
            const int channelFrom = static_cast<int>((from.colour >> shift) & 0xFF);
            const int channelTo = static_cast<int>((to.colour >> shift) & 0xFF);
            const double value = (1.0 - f) * channelFrom + f * channelTo;
            const int channel = std::clamp(static_cast<int>(value), 0, 255);
            colour |= static_cast<std::uint32_t>(channel) << shift;
        }
        return colour;
    }
    return 0;
}

void CRenderContext::BuildPalette()
{
    for (int i = 0; i < kPaletteSize; ++i) {
        const std::uint32_t colour = PaletteRamp((i % 100) * 0.01);
        m_palBlue[i] = static_cast<std::uint8_t>(colour & 0xFF);
        m_palGreen[i] = static_cast<std::uint8_t>((colour >> 8) & 0xFF);
        m_palRed[i] = static_cast<std::uint8_t>((colour >> 16) & 0xFF);
    }
}
