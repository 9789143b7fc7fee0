// Rendering at 1920 × 1080: whole pictures on every processor with the kernel this machine
// chooses, and one band on one processor with each kernel it runs, in steps per second, as a
// multiple of the scalar kernel, and as a share of the kernel's limit on this machine: its
// bare loop (StepBare), its step on all its registers and nothing else.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_views.h"
#include "engine/iteration_kernel.h"
#include "engine/render_worker.h"
#include "render/headless_show.h"
#include "tests/support/reference_picture.h"

namespace {

// Iteration steps of rows [firstRow, endRow) of the context's view, on every processor.
std::int64_t CountSteps(const CRenderContext& context, int firstRow, int endRow)
{
    const int n = context.m_nSubsamples;
    std::atomic<int> nextRow{firstRow};
    std::atomic<std::int64_t> total{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t) {
        threads.emplace_back([&] {
            std::int64_t steps = 0;
            for (int i = nextRow++; i < endRow; i = nextRow++) {
                for (int k = 0; k < n; ++k) {
                    const double cIm =
                        context.m_dCentreIm +
                        context.m_dSpanIm * ((i * n + k) / double(context.m_nHeight * n) - 0.5);
                    for (int column = 0; column < context.m_nWidth * n; ++column) {
                        const double cRe =
                            context.m_dCentreRe +
                            context.m_dSpanRe * (column / double(context.m_nWidth * n) - 0.5);
                        steps += FollowOrbit(cRe, cIm).steps;
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

double Seconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Processor time of this thread, so that other programs on a shared machine count less.
double ThreadSeconds() { return Seconds(CLOCK_THREAD_CPUTIME_ID); }

// Lane-steps per second of one run of the kernel's bare loop on `threads` threads at once, in
// wall time: on one processor, the most a band can do; on all of them, the most a whole picture
// can (processors that share a chip's power and caches each do less than one alone).
double BareRate(const IterationKernel& kernel, const BarePoints& points, int threads)
{
    std::atomic<std::int64_t> laneSteps{0};
    std::vector<std::thread> workers;
    const double start = Seconds(CLOCK_MONOTONIC);
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] { laneSteps += kernel.stepBare(points.Job()); });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return static_cast<double>(laneSteps.load()) / (Seconds(CLOCK_MONOTONIC) - start);
}

void StepBare(benchmark::State& state, const IterationKernel& kernel)
{
    const BarePoints points;
    std::int64_t laneSteps = 0;
    double fastest = 1e300;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        laneSteps = kernel.stepBare(points.Job());
        const double seconds = ThreadSeconds() - start;
        state.SetIterationTime(seconds);
        fastest = std::min(fastest, seconds);
    }
    state.counters["steps/s"] = static_cast<double>(laneSteps) / fastest;
    state.counters["lanes"] = static_cast<double>(laneSteps / points.Job().steps);
}

// A whole picture as orvane-render makes it: every processor, the chosen kernel. "busy" is the
// share of the processors' time the process computed (1: every processor from start to end),
// "of limit" the share of what the kernel's bare loop does on all of them at once, run right
// after each picture, best against best.
void RenderPicture(benchmark::State& state, const HomeView& view)
{
    HeadlessShow show(kBenchWidth, kBenchHeight, 0);
    CRenderContext& context = show.Context();
    const IterationKernel* kernel = ActiveKernel();
    const BarePoints bare;
    double wall = 0.0;
    double fastestWall = 1e300;
    double processor = 0.0;
    double bareRate = 0.0;
    for (auto _ : state) {
        context.m_nStep = 0;  // a picture of its own: no zoom transition
        const double wallStart = Seconds(CLOCK_MONOTONIC);
        const double processorStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        context.Render(view.dCentreRe, view.dCentreIm, view.dSpan);
        processor += Seconds(CLOCK_PROCESS_CPUTIME_ID) - processorStart;
        const double seconds = Seconds(CLOCK_MONOTONIC) - wallStart;
        wall += seconds;
        fastestWall = std::min(fastestWall, seconds);
        if (kernel != nullptr) {
            state.PauseTiming();
            bareRate = std::max(bareRate, BareRate(*kernel, bare, context.m_nProcessors));
            state.ResumeTiming();
        }
    }
    const double steps = static_cast<double>(CountSteps(context, 0, kBenchHeight));
    state.counters["steps/s"] =
        benchmark::Counter(steps, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["threads"] = context.m_nProcessors;
    state.counters["busy"] = processor / (wall * context.m_nProcessors);
    if (kernel != nullptr) {
        state.counters["of limit"] = steps / fastestWall / bareRate;
    }
    state.SetLabel(kernel != nullptr ? kernel->name : "none");
}

// One band of the view's middle rows, as a worker renders it, on this thread alone; timed in
// processor time.
struct BandBench {
    explicit BandBench(const HomeView& view) : show(kBenchWidth, kBenchHeight, 1)
    {
        CRenderContext& context = show.Context();
        context.Render(view.dCentreRe, view.dCentreIm, view.dSpan);  // sets the view
        band.nFirstRow = kBenchHeight / 2 - kBenchBandRows / 2;
        band.nEndRow = band.nFirstRow + kBenchBandRows;
        band.pOwner = &context;
        band.bGo = 1;
        steps = CountSteps(context, band.nFirstRow, band.nEndRow);
    }
    double SecondsWith(const IterationKernel& kernel)
    {
        const double start = ThreadSeconds();
        RenderBand(band, kernel);
        return ThreadSeconds() - start;
    }

    HeadlessShow show;
    WorkerBand band;
    std::int64_t steps = 0;
};

// Steps per second of the scalar kernel on the view's band, measured once.
double ScalarStepsPerSecond(BandBench& bench, const std::string& viewName)
{
    static std::map<std::string, double> rates;
    auto found = rates.find(viewName);
    if (found == rates.end()) {
        double fastest = 1e300;
        for (int run = 0; run < 3; ++run) {
            fastest = std::min(fastest, bench.SecondsWith(kIterationKernels[0]));
        }
        found = rates.emplace(viewName, static_cast<double>(bench.steps) / fastest).first;
    }
    return found->second;
}

// "of limit" divides by the bare loop run right after each band, best against best: a shared
// machine's speed drifts by a tenth and more within seconds, and a limit measured apart
// moved the share by as much.
void IterateBand(benchmark::State& state, const BenchView& view, const IterationKernel& kernel)
{
    BandBench bench(view.view);
    const BarePoints bare;
    double fastest = 1e300;
    double fastestBare = 1e300;
    std::int64_t bareLaneSteps = 0;
    for (auto _ : state) {
        const double seconds = bench.SecondsWith(kernel);
        state.SetIterationTime(seconds);
        fastest = std::min(fastest, seconds);
        const double bareStart = ThreadSeconds();
        bareLaneSteps = kernel.stepBare(bare.Job());
        fastestBare = std::min(fastestBare, ThreadSeconds() - bareStart);
    }
    const double stepsPerSecond = static_cast<double>(bench.steps) / fastest;
    state.counters["steps/s"] = stepsPerSecond;
    state.counters["x scalar"] = stepsPerSecond / ScalarStepsPerSecond(bench, view.name);
    state.counters["of limit"] =
        stepsPerSecond / (static_cast<double>(bareLaneSteps) / fastestBare);
}

const bool kRegistered = [] {
    for (const IterationKernel& kernel : kIterationKernels) {
        if (KernelRuns(kernel)) {
            benchmark::RegisterBenchmark((std::string("StepBare/") + kernel.name).c_str(),
                                         StepBare, kernel)
                ->Iterations(5)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (const BenchView& view : kBenchViews) {
        benchmark::RegisterBenchmark((std::string("RenderPicture/") + view.name).c_str(),
                                     RenderPicture, view.view)
            ->Iterations(3)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    for (const BenchView& view : kBandViews) {
        for (const IterationKernel& kernel : kIterationKernels) {
            if (!KernelRuns(kernel)) {
                continue;
            }
            benchmark::RegisterBenchmark(
                (std::string("IterateBand/") + view.name + "/" + kernel.name).c_str(),
                IterateBand, view, kernel)
                ->Iterations(5)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
