#include "engine/coordinate_grid.h"

#include <cmath>

#include "engine/grid_labels.h"
#include "engine/render_context.h"

namespace {

// 10^18 is the largest power of ten in 64 bits: finer spans keep ticks of 10^-18.
constexpr int kMaxDecimalExponent = 18;
// A tenth of the span gives at most about a hundred ticks; far more only happens for spans
// of ten or more, whose ticks stay at whole numbers, and then the axis is left bare.
constexpr double kMaxTicksPerAxis = 1000.0;
constexpr int kMajorEvery = 10;
constexpr int kMinorStep = 3;
constexpr int kBrightLimit = 200;

bool FitsInt64(double value)
{
    return value >= -9223372036854775808.0 && value < 9223372036854775808.0;
}

std::string MajorLabel(std::int64_t tick, std::int64_t scale)
{
    char text[kScaledTextSize];
    if (scale >= 10) {
        FormatScaled(text, scale / 10, tick / 10);
    } else {
        FormatScaled(text, 1, tick);  // ticks at whole numbers: tick is the value itself
    }
    return text;
}

void MarkPixel(std::uint8_t* pixel)
{
    const int brightness = (pixel[0] + 4 * pixel[1] + 2 * pixel[2]) / 7;
    const std::uint8_t value = brightness > kBrightLimit ? 0 : 255;
    pixel[0] = pixel[1] = pixel[2] = value;
}

}  // namespace

std::vector<GridTick> ComputeGridTicks(double centre, double span, int pixels)
{
    std::vector<GridTick> ticks;
    const double lo = centre - span * 0.5;
    const double hi = span * 0.5 + centre;
    if (!(span > 0.0) || !std::isfinite(lo) || !std::isfinite(hi)) {
        return ticks;
    }
    // A span below the precision of the centre has no extent to place ticks in.
    const double extent = hi - lo;
    if (!(extent > 0.0)) {
        return ticks;
    }
    const double exponent = std::floor(1.0 - std::floor(std::log10(span)));
    std::int64_t scale = 1;
    for (int e = 0; e < exponent && e < kMaxDecimalExponent; ++e) {
        scale *= 10;
    }
    const double scaleValue = static_cast<double>(scale);
    const double first = lo * scaleValue;
    const double last = hi * scaleValue + 1.0;
    if (!FitsInt64(first) || !FitsInt64(last) || !(last - first <= kMaxTicksPerAxis)) {
        return ticks;
    }
    const std::int64_t g0 = static_cast<std::int64_t>(first);
    const std::int64_t g1 = static_cast<std::int64_t>(last);
    for (std::int64_t g = g0; g <= g1; ++g) {
        const double position = pixels * (((g / scaleValue) - lo) / extent);
        // Truncation toward zero keeps positions just left of 0 on pixel 0.
        if (!(position > -1.0 && position < pixels)) {
            continue;
        }
        GridTick tick;
        tick.position = static_cast<int>(position);
        tick.major = g % kMajorEvery == 0;
        if (tick.major) {
            tick.label = MajorLabel(g, scale);
        }
        ticks.push_back(std::move(tick));
    }
    return ticks;
}

void DrawGridLine(std::uint8_t* pImage, int width, int height, int position, bool vertical,
                  int step)
{
    const std::ptrdiff_t stride = ImageStride(width);
    if (vertical) {
        for (int row = 0; row < height; row += step) {
            MarkPixel(pImage + row * stride + 3 * position);
        }
    } else {
        for (int col = 0; col < width; col += step) {
            MarkPixel(pImage + position * stride + 3 * col);
        }
    }
}

void CRenderContext::DrawGrid()
{
    if (!m_pGrid) {
        return;
    }
    const std::vector<GridTick> columns = ComputeGridTicks(m_dCentreRe, m_dSpanRe, m_nWidth);
    const std::vector<GridTick> rows = ComputeGridTicks(m_dCentreIm, m_dSpanIm, m_nHeight);
    // Lines first, real axis before imaginary; then the labels over them.
    for (const GridTick& tick : columns) {
        DrawGridLine(m_pGrid.get(), m_nWidth, m_nHeight, tick.position, true,
                     tick.major ? 1 : kMinorStep);
    }
    for (const GridTick& tick : rows) {
        DrawGridLine(m_pGrid.get(), m_nWidth, m_nHeight, tick.position, false,
                     tick.major ? 1 : kMinorStep);
    }
    for (const GridTick& tick : columns) {
        if (tick.major) {
            StampLabel({tick.position, 0, tick.label, 1});
        }
    }
    for (const GridTick& tick : rows) {
        if (tick.major) {
            StampLabel({0, tick.position, tick.label, 0});
        }
    }
}
