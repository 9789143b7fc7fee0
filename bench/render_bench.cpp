// A full 1920 × 1080 picture of each home view on every processor.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "engine/home_views.h"
#include "engine/render_worker.h"
#include "tools/headless_show.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Steps one sample point takes, counted apart from the production kernel so as not to slow
// it down.
int StepsOfSample(double cRe, double cIm)
{
    double x = 0.0;
    double y = 0.0;
    for (int step = 1; step <= kMaxIterations; ++step) {
        y = std::fabs(y);
        const double nextX = (x * x - y * y) + cRe;
        const double nextY = 2.0 * (y * x) + cIm;
        if (nextX * nextX + nextY * nextY > 10.0) {
            return step;
        }
        x = nextX;
        y = nextY;
    }
    return kMaxIterations;
}

// Iteration steps of the whole picture the context has just rendered, on every processor.
std::int64_t CountSteps(const CRenderContext& context)
{
    const int n = context.m_nSubsamples;
    std::atomic<int> nextRow{0};
    std::atomic<std::int64_t> total{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t) {
        threads.emplace_back([&] {
            std::int64_t steps = 0;
            for (int i = nextRow++; i < context.m_nHeight; i = nextRow++) {
                for (int k = 0; k < n; ++k) {
                    const double cIm =
                        context.m_dCentreIm +
                        context.m_dSpanIm * ((i * n + k) / double(context.m_nHeight * n) - 0.5);
                    for (int column = 0; column < context.m_nWidth * n; ++column) {
                        const double cRe =
                            context.m_dCentreRe +
                            context.m_dSpanRe * (column / double(context.m_nWidth * n) - 0.5);
                        steps += StepsOfSample(cRe, cIm);
                    }
                }
            }
            total += steps;
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return total;
}

void RenderHomeView(benchmark::State& state)
{
    const HomeView& view = kHomeViews[state.range(0)];
    HeadlessShow show(kWidth, kHeight, 0);
    CRenderContext& context = show.Context();
    for (auto _ : state) {
        context.m_nStep = 0;  // a home view: no zoom transition
        context.Render(view.dCentreRe, view.dCentreIm, view.dSpan);
    }
    state.counters["steps/s"] = benchmark::Counter(static_cast<double>(CountSteps(context)),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.counters["threads"] = context.m_nProcessors;
}

}  // namespace

BENCHMARK(RenderHomeView)
    ->DenseRange(0, kHomeViewCount - 1)
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
