// The tour's own work between two renders on a 1920 × 1080 picture of home view 0: choosing
// the next target, computing the 31-frame film, drawing the grid with its labels.
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

void ComputeFilmOfAZoom(benchmark::State& state)
{
    CRenderContext& context = HomeViewShow().Context();
    const ViewBox home{context.m_dCentreRe, context.m_dCentreIm, context.m_dSpanRe,
                       context.m_dSpanIm};
    const ViewBox zoom{home.centreRe, home.centreIm, home.spanRe / 10, home.spanIm / 10};
    const PictureRect target = ComputeTargetRect(1920, 1080, home, zoom);
    for (auto _ : state) {
        ComputeFilm(context.m_pDisplay.get(), context.m_frames, 1920, 1080, target,
                    context.m_bRunning, context.m_nProcessors);
    }
    state.counters["frames"] = static_cast<double>(context.m_frames.size());
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
// Every processor computes frames: the processor time is the whole process's.
BENCHMARK(ComputeFilmOfAZoom)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(DrawGridWithLabels)->Unit(benchmark::kMillisecond);
