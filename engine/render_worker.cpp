#include "engine/render_worker.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/image_layout.h"
#include "engine/render_context.h"

namespace {

// Two doubles in one SSE2 register (or its equivalent elsewhere). Each lane does exactly the
// scalar IEEE operations, so the results are those of a plain double loop. Four pairs are
// iterated together: one step of one pair is a chain of dependent operations, and the
// processor would otherwise wait on their latencies.
using Pair = double __attribute__((vector_size(16)));
using PairMask = std::int64_t __attribute__((vector_size(16)));
constexpr int kPairs = kKernelLanes / 2;

inline Pair Splat(double value) { return Pair{value, value}; }

inline Pair Abs(Pair value)
{
    const PairMask noSign = {INT64_MAX, INT64_MAX};
    return reinterpret_cast<Pair>(reinterpret_cast<PairMask>(value) & noSign);
}

// Bit 0 and bit 1 set for the lanes of value that lie above limit.
inline int LanesAbove(Pair value, Pair limit)
{
#if defined(__SSE2__)
    return _mm_movemask_pd(reinterpret_cast<__m128d>(value > limit));
#else
    const PairMask above = reinterpret_cast<PairMask>(value > limit);
    return static_cast<int>((above[0] & 1) | (above[1] & 2));
#endif
}

// Counts the worker in; the census is kept outside the loops, once per band.
void JoinCensus()
{
    const int alive = ++g_workerCensus.nAlive;
    int most = g_workerCensus.nMostAlive.load();
    while (alive > most && !g_workerCensus.nMostAlive.compare_exchange_weak(most, alive)) {
    }
}

// The worker's last act: once the band reads -1, the renderer may start the next worker.
unsigned FinishBand(WorkerBand& band)
{
    --g_workerCensus.nAlive;
    band.nState = -1;
    return 0;
}

}  // namespace

WorkerCensus g_workerCensus;

void IterateSamples(const double cRe[kKernelLanes], const double cIm[kKernelLanes],
                    int index[kKernelLanes])
{
    const Pair limit = Splat(10.0);
    Pair pointRe[kPairs], pointIm[kPairs];
    // x² and y² of the previous step's result are the squares the escape test computed:
    // |y|² equals y² exactly, so reusing them changes no bit.
    Pair x[kPairs], y[kPairs], xx[kPairs], yy[kPairs];
    for (int p = 0; p < kPairs; ++p) {
        pointRe[p] = Pair{cRe[2 * p], cRe[2 * p + 1]};
        pointIm[p] = Pair{cIm[2 * p], cIm[2 * p + 1]};
        x[p] = y[p] = xx[p] = yy[p] = Splat(0.0);
    }
    std::fill(index, index + kKernelLanes, 0);

    // Lanes that have escaped go on computing, and their results are ignored.
    int pending = (1 << kKernelLanes) - 1;
    for (int step = 1; step <= kMaxIterations; ++step) {
        int above = 0;
#pragma GCC unroll 4
        for (int p = 0; p < kPairs; ++p) {
            const Pair xy = Abs(y[p]) * x[p];
            const Pair nextY = (xy + xy) + pointIm[p];  // 2·(|y|·x) + cIm; doubling is exact
            const Pair nextX = (xx[p] - yy[p]) + pointRe[p];
            xx[p] = nextX * nextX;
            yy[p] = nextY * nextY;
            above |= LanesAbove(xx[p] + yy[p], limit) << (2 * p);
            x[p] = nextX;
            y[p] = nextY;
        }
        const int escaped = above & pending;
        if (escaped != 0) {
            for (int lane = 0; lane < kKernelLanes; ++lane) {
                if ((escaped >> lane) & 1) {
                    index[lane] = step - 1;
                }
            }
            pending &= ~escaped;
            if (pending == 0) {
                break;
            }
        }
    }
}

unsigned RenderWorker(void* pBand)
{
    WorkerBand& band = *static_cast<WorkerBand*>(pBand);
    const CRenderContext& owner = *band.pOwner;
    JoinCensus();

    // Everything the loops read, read once.
    const int width = owner.m_nWidth;
    const int height = owner.m_nHeight;
    const int n = owner.m_nSubsamples;
    std::uint8_t* const work = owner.m_pWork.get();
    const double spanRe = owner.m_dSpanRe;
    const double spanIm = owner.m_dSpanIm;
    const double centreRe = owner.m_dCentreRe;
    const double centreIm = owner.m_dCentreIm;
    const std::uint8_t* const palBlue = owner.m_palBlue;
    const std::uint8_t* const palGreen = owner.m_palGreen;
    const std::uint8_t* const palRed = owner.m_palRed;
    const std::size_t stride = static_cast<std::size_t>(ImageStride(width));
    const double samplesAcross = static_cast<double>(width * n);
    const double samplesUp = static_cast<double>(height * n);
    const int samplesPerPixel = n * n;
    const int firstRow = band.nFirstRow;
    const int endRow = band.nEndRow;

    for (int i = firstRow; i < endRow; ++i) {
        std::uint8_t* pixel = work + static_cast<std::size_t>(i) * stride;
        for (int j = 0; j < width; ++j, pixel += 3) {
            int sumBlue = 0;
            int sumGreen = 0;
            int sumRed = 0;
            const auto sampleRe = [&](int l) {
                return centreRe + spanRe * ((j * n + l) / samplesAcross - 0.5);
            };
            const auto sampleIm = [&](int k) {
                return centreIm + spanIm * ((i * n + k) / samplesUp - 0.5);
            };
            // The pixel's samples row by row from its bottom left corner; (k, l) is the next.
            int k = 0;
            int l = 0;
            double rowIm = sampleIm(0);
            for (int first = 0; first < samplesPerPixel; first += kKernelLanes) {
                // The flag is read before every group of samples, two rows of the pixel's
                // samples. Nothing is written before the pixel's last group, so reading once
                // for two rows only delays a stop; it never changes what is written.
                if (band.bGo.load(std::memory_order_relaxed) == 0) {
                    return FinishBand(band);
                }
                const int lanes = std::min(kKernelLanes, samplesPerPixel - first);
                double cRe[kKernelLanes];
                double cIm[kKernelLanes];
                for (int q = 0; q < lanes; ++q) {
                    cRe[q] = sampleRe(l);
                    cIm[q] = rowIm;
                    if (++l == n) {
                        l = 0;
                        rowIm = sampleIm(++k);
                    }
                }
                // Spare lanes of a last, partial group repeat its last sample.
                std::fill(cRe + lanes, cRe + kKernelLanes, cRe[lanes - 1]);
                std::fill(cIm + lanes, cIm + kKernelLanes, cIm[lanes - 1]);

                int index[kKernelLanes];
                IterateSamples(cRe, cIm, index);
                for (int q = 0; q < lanes; ++q) {
                    sumBlue += palBlue[index[q]];
                    sumGreen += palGreen[index[q]];
                    sumRed += palRed[index[q]];
                }
            }
            pixel[0] = static_cast<std::uint8_t>(sumBlue / samplesPerPixel);
            pixel[1] = static_cast<std::uint8_t>(sumGreen / samplesPerPixel);
            pixel[2] = static_cast<std::uint8_t>(sumRed / samplesPerPixel);
        }
    }
    return FinishBand(band);
}
