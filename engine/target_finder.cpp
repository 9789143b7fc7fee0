#include "engine/target_finder.h"

#include <cmath>

#include "engine/render_context.h"
#include "engine/truncation.h"

namespace {

thread_local std::uint32_t t_randomState = 0;

constexpr double kBrightnessScale = 1.0 / 1785.0;  // 1785 = 7 × 255, the brightest sum
constexpr int kCounterModulus = 30000;
constexpr std::uint32_t kSearchLimitMs = 10000;
constexpr double kStartThreshold = 0.01;
constexpr double kThresholdDecay = 0.9999;
constexpr int kRefinementReach = 10;  // grid steps to each side

double Brightness(const PictureBytes& picture, int col, int row)
{
    const std::uint8_t* pixel =
        picture.pixels + static_cast<std::ptrdiff_t>(row) * picture.stride + 3 * col;
    return (pixel[0] + 4 * pixel[1] + 2 * pixel[2]) * kBrightnessScale;
}

// The low 32 bits of the counter as a signed number: all the search mixes in.
int ReadCounterLow(platform::Clock& clock)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(clock.QueryPerformanceCounter()));
}

// Where a random draw puts the search window, as a fraction of the width or height.
double PositionFraction(int draw)
{
    return draw * 0.00003 + 0.05;
}

double CappedStep(double difference)
{
    return difference > 0.5 ? 0.0 : difference;
}

}  // namespace

void SeedTargetRandom(std::uint32_t seed)
{
    t_randomState = seed;
}

int DrawTargetRandom()
{
    t_randomState = t_randomState * 214013u + 2531011u;
    return static_cast<int>((t_randomState >> 16) & 0x7FFF);
}

PixelWindow WindowAround(int col, int row, int halfWidth, int halfHeight)
{
    return {col - halfWidth, col + halfWidth, row - halfHeight, row + halfHeight};
}

bool IsWindowValid(const PixelWindow& window, int width, int height, int captionRows)
{
    const auto inside = [](int value, int low, int high) { return value >= low && value <= high; };
    return inside(window.x0, 0, width - 1) && inside(window.x1, 0, width - 1) &&
           inside(window.y0, captionRows, height - 1) && inside(window.y1, captionRows, height - 1);
}

HalfSizes RefinementHalfSizes(int width, int height, double spanRe, double spanIm,
                              double nextSpan)
{
    double nextRe = nextSpan;
    double nextIm = nextSpan;
    if (width > height) {
        nextRe = nextSpan / height * width;
    } else {
        nextIm = nextSpan / width * height;
    }
    return {TruncToPixel(width * nextRe / spanRe * 0.5),
            TruncToPixel(height * nextIm / spanIm * 0.5)};
}

WindowScore MeasureRoughness(const PictureBytes& picture, const PixelWindow& window)
{
    WindowScore score;
    for (int i = window.y0; i < window.y1; ++i) {
        for (int j = window.x0 + 1; j < window.x1; ++j) {
            score.sum += std::fabs(Brightness(picture, j, i) - Brightness(picture, j - 1, i));
            ++score.count;
        }
    }
    return score;
}

WindowScore MeasureRelief(const PictureBytes& picture, const PixelWindow& window)
{
    WindowScore score;
    for (int i = window.y0 + 1; i < window.y1 - 1; ++i) {
        for (int j = window.x0 + 1; j < window.x1 - 1; ++j) {
            const double centre = Brightness(picture, j, i);
            const double total = CappedStep(Brightness(picture, j - 1, i) - centre) +
                                 CappedStep(Brightness(picture, j + 1, i) - centre) +
                                 CappedStep(Brightness(picture, j, i - 1) - centre) +
                                 CappedStep(Brightness(picture, j, i + 1) - centre);
            score.sum += std::fabs(total);
            ++score.count;
        }
    }
    return score;
}

PixelWindow SearchWindow(int width, int height, double fx, double fy)
{
    return WindowAround(TruncToPixel(width * fx), TruncToPixel(height * fy),
                        TruncToPixel(width * 0.05), TruncToPixel(height * 0.05));
}

bool HasSearchWindow(int width, int height, int captionRows)
{
    // Columns and rows are drawn independently: some of each must fit.
    bool bColumns = false;
    bool bRows = false;
    for (int d = 0; d < kCounterModulus && !(bColumns && bRows); ++d) {
        const double f = PositionFraction(d);
        const PixelWindow window = SearchWindow(width, height, f, f);
        bColumns |= window.x0 >= 0 && window.x1 <= width - 1 && window.x0 + 1 < window.x1;
        bRows |= window.y0 >= captionRows && window.y1 <= height - 1 && window.y0 < window.y1;
    }
    return bColumns && bRows;
}

int CRenderContext::FindTarget(double* pCentreRe, double* pCentreIm, double* pSpan)
{
    *pCentreRe = 0.0;
    *pCentreIm = 0.0;
    *pSpan = -1.0;

    const int width = m_nWidth;
    const int height = m_nHeight;
    const int captionRows = m_sizeCaptionBox.cy;
    const PictureBytes picture{m_pWork.get(), GetStride()};
    platform::Clock& clock = *m_pTargetClock;

    // Phase 1: random positions until a window is rough enough; the bar sinks with every
    // window measured, and the search gives up after ten seconds, or at once when the show
    // is stopped, so that a stop never waits for a picture without targets.
    SeedTargetRandom(static_cast<std::uint32_t>(ReadCounterLow(clock) % kCounterModulus));
    const std::uint32_t startTicks = clock.GetTickCount();
    double threshold = kStartThreshold;
    double fx = 0.0;
    double fy = 0.0;
    for (;;) {
        if (m_bRunning == 0 || clock.GetTickCount() - startTicks > kSearchLimitMs) {
            return 0;
        }
        const int mix = ReadCounterLow(clock) % kCounterModulus;
        const int dx = (DrawTargetRandom() + mix) % kCounterModulus;
        const int dy = (DrawTargetRandom() + mix) % kCounterModulus;
        fx = PositionFraction(dx);
        fy = PositionFraction(dy);
        const PixelWindow window = SearchWindow(width, height, fx, fy);
        if (!IsWindowValid(window, width, height, captionRows) || window.y0 >= window.y1) {
            continue;
        }
        const WindowScore roughness = MeasureRoughness(picture, window);
        if (roughness.count == 0) {
            continue;
        }
        threshold *= kThresholdDecay;
        if (roughness.sum / roughness.count > threshold) {
            break;
        }
    }

    // The next view magnifies ten times along the shorter side.
    const double span = width > height ? 0.1 * m_dSpanIm : 0.1 * m_dSpanRe;
    const double foundRe = (m_dCentreRe - m_dSpanRe * 0.5) + fx * m_dSpanRe;
    const double foundIm = (m_dCentreIm - m_dSpanIm * 0.5) + fy * m_dSpanIm;
    *pCentreRe = foundRe;
    *pCentreIm = foundIm;
    *pSpan = span;

    // Phase 2: the strongest relief on a 21 × 21 grid around the spot; ties keep the earlier.
    const HalfSizes half = RefinementHalfSizes(width, height, m_dSpanRe, m_dSpanIm, span);
    double best = 0.0;
    for (int gy = -kRefinementReach; gy <= kRefinementReach; ++gy) {
        if (m_bRunning == 0) {
            return 0;
        }
        for (int gx = -kRefinementReach; gx <= kRefinementReach; ++gx) {
            const double candidateRe = foundRe + gx * span * 0.1;
            const double candidateIm = foundIm + gy * span * 0.1;
            const int col = TruncToPixel(((candidateRe - m_dCentreRe) / m_dSpanRe + 0.5) * width);
            const int row = TruncToPixel(((candidateIm - m_dCentreIm) / m_dSpanIm + 0.5) * height);
            const PixelWindow window = WindowAround(col, row, half.width, half.height);
            if (!IsWindowValid(window, width, height, captionRows) ||
                window.y0 + 1 >= window.y1 - 1) {
                continue;
            }
            const WindowScore relief = MeasureRelief(picture, window);
            if (relief.count > 0 && relief.sum / relief.count > best) {
                best = relief.sum / relief.count;
                *pCentreRe = candidateRe;
                *pCentreIm = candidateIm;
            }
        }
    }
    return 1;
}
