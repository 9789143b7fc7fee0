// The tour's own work between two renders on a picture of home view 0: choosing the next
// target, drawing the grid with its labels, playing the 31-frame film at 3840 × 2160.
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/home_views.h"
#include "engine/zoom_transition.h"
#include "render/headless_show.h"
#include "render/tour_mode.h"

namespace {

// Rendered once, shared by the benchmarks.
HeadlessShow& HomeViewShow()
{
    static HeadlessShow show(1920, 1080, 0);
    static const bool bRendered = [] {
        const HomeView& home = kHomeViews[0];
        return show.Context().Render(home.dCentreRe, home.dCentreIm, home.dSpan) == 0;
    }();
    benchmark::DoNotOptimize(bRendered);
    return show;
}

void FindTargetOnHomeView(benchmark::State& state)
{
    CRenderContext& context = HomeViewShow().Context();
    double re = 0.0, im = 0.0, span = 0.0;
    for (auto _ : state) {
        platform::SeededCounterClock clock(1);  // the same search every time
        context.m_pTargetClock = &clock;
        benchmark::DoNotOptimize(context.FindTarget(&re, &im, &span));
    }
    context.m_pTargetClock = &platform::SystemClock();
}

// The film of a zoom played into a 3840 × 2160 window: each frame made, the next on another
// processor while one is shown. frames/s is the film's playing speed.
void PlayFilmOfAZoomAt4K(benchmark::State& state)
{
    constexpr int kWidth = 3840, kHeight = 2160;
    static HeadlessShow show(kWidth, kHeight, 0);
    CRenderContext& context = show.Context();
    const std::uint8_t* pHome = HomeViewShow().Context().m_pDisplay.get();
    for (int row = 0; row < kHeight; ++row) {  // home view 0, enlarged
        std::memcpy(context.m_pDisplay.get() + row * ImageStride(kWidth),
                    pHome + row / 2 * ImageStride(1920), 3 * 1920);
        std::memcpy(context.m_pDisplay.get() + row * ImageStride(kWidth) + 3 * 1920,
                    pHome + row / 2 * ImageStride(1920), 3 * 1920);
    }
    const ViewBox home{0.0, 0.0, 1.0, 1.0};
    const ViewBox zoom{0.1, 0.05, 0.1, 0.1};
    context.m_frames.Load(context.m_pDisplay.get(),
                          ComputeTargetRect(kWidth, kHeight, home, zoom));
    CWindowDC dc(&context.GetWindow());
    const BitmapInfoHeader header = MakeDibHeader(kWidth, kHeight);
    context.m_bRunning = 1;
    for (auto _ : state) {
        context.m_frames.Play(
            [&](const std::uint8_t* pFrame) {
                dc.StretchDIBits(0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight, pFrame, header);
            },
            context.m_bRunning, context.m_nProcessors);
    }
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(context.m_frames.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

void DrawGridWithLabels(benchmark::State& state)
{
    CRenderContext& context = HomeViewShow().Context();
    for (auto _ : state) {
        std::memcpy(context.m_pGrid.get(), context.m_pWork.get(), ImageSize(1920, 1080));
        context.DrawGrid();
    }
}

}  // namespace

BENCHMARK(FindTargetOnHomeView)->Unit(benchmark::kMillisecond);
BENCHMARK(PlayFilmOfAZoomAt4K)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DrawGridWithLabels)->Unit(benchmark::kMillisecond);
