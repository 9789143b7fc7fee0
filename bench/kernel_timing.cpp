// The kernels timed where Google Benchmark is not at hand: the Windows programs, under Wine.
// Each kernel the processor runs iterates the middle band of 16 rows of a 1920 × 1080 picture
// of each band view, best of three, on one thread; the figures compare with orvane_bench's
// IterateBand.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench/bench_views.h"
#include "engine/iteration_kernel.h"
#include "tests/support/reference_picture.h"

namespace {

constexpr int kSubsamples = 4;

// The band's sample coordinates, as the render workers lay them out.
struct Band {
    explicit Band(const HomeView& view)
    {
        const int first = kBenchHeight / 2 - kBenchBandRows / 2;
        const double spanRe = (kBenchWidth * view.dSpan) / kBenchHeight;
        for (int s = 0; s < kBenchWidth * kSubsamples; ++s) {
            sampleRe.push_back(view.dCentreRe +
                               spanRe * (s / static_cast<double>(kBenchWidth * kSubsamples) - 0.5));
        }
        for (int s = 0; s < kBenchBandRows * kSubsamples; ++s) {
            sampleIm.push_back(view.dCentreIm +
                               view.dSpan * ((first * kSubsamples + s) /
                                                 static_cast<double>(kBenchHeight * kSubsamples) -
                                             0.5));
        }
        for (const double cIm : sampleIm) {
            for (const double cRe : sampleRe) {
                steps += FollowOrbit(cRe, cIm).steps;
            }
        }
    }

    double SecondsWith(const IterationKernel& kernel) const
    {
        const std::vector<std::uint64_t> palette(kMaxIterations, PackColour(1, 2, 3));
        std::vector<std::uint8_t> image(3 * kBenchWidth * kBenchBandRows);
        const std::atomic<int> go{1};
        const SampleBand band{.pSampleRe = &sampleRe,
                              .pSampleIm = &sampleIm,
                              .pPackedPalette = palette.data(),
                              .pFirstRow = image.data(),
                              .stride = 3 * kBenchWidth,
                              .width = kBenchWidth,
                              .rows = kBenchBandRows,
                              .subsamples = kSubsamples,
                              .pGo = &go};
        double fastest = 1e300;
        for (int run = 0; run < 3; ++run) {
            SampleStream stream(band);
            const auto start = std::chrono::steady_clock::now();
            kernel.iterate(stream);
            const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
            fastest = seconds.count() < fastest ? seconds.count() : fastest;
        }
        return fastest;
    }

    std::vector<double> sampleRe;
    std::vector<double> sampleIm;
    std::int64_t steps = 0;
};

}  // namespace

int main()
{
    for (const BenchView& view : kBandViews) {
        const Band band(view.view);
        double scalarSeconds = 0;
        for (const IterationKernel& kernel : kIterationKernels) {
            if (!KernelRuns(kernel)) {
                continue;
            }
            const double seconds = band.SecondsWith(kernel);
            scalarSeconds = scalarSeconds == 0 ? seconds : scalarSeconds;
            std::printf("%-6s %-7s %8.2f ms  %6.3f G steps/s  %5.2f x scalar\n", view.name,
                        kernel.name, 1e3 * seconds, static_cast<double>(band.steps) / seconds / 1e9,
                        scalarSeconds / seconds);
        }
    }
    return 0;
}
