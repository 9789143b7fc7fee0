// What the kernel benchmarks render: pictures of 1920 × 1080, and the views that show the
// kernels at their two extremes.
#pragma once

#include "engine/home_views.h"
#include "engine/iteration_kernel.h"

inline constexpr int kBenchWidth = 1920;
inline constexpr int kBenchHeight = 1080;
// A band of this many rows from the middle of the picture, as one worker renders it.
inline constexpr int kBenchBandRows = 16;

struct BenchView {
    const char* name;
    HomeView view;
};

// Home view 0, where samples escape within a few steps, and the deep view of slot 10 of
// `--tour 10 --seed 7`, where neighbouring samples escape hundreds of steps apart.
inline constexpr BenchView kBenchViews[] = {
    {"home0", kHomeViews[0]},
    {"deep", {-0.24974786780659766, 0.74104255026363564, 4.5e-12}},
};

// The bands timed on their own: those of the views above, and one inside the set, where every
// sample takes all kMaxIterations steps, so a register hands a group over only that rarely.
// There a kernel's share of its limit shows what its loop costs beside the bare one (the
// escape tests, the stop checks); what the other views lose beyond that is the groups'
// hand-overs, their escaped lanes and the settling of pixels.
inline constexpr BenchView kBandViews[] = {
    kBenchViews[0],
    kBenchViews[1],
    {"inside", {-0.2, 0.1, 0.01}},
};

// What each kernel's bare loop iterates to measure its limit: a different point for every
// lane, all near c = (−0.2, 0.1) inside the set, whose orbits settle on fixed points far from
// the escape limit and from subnormal numbers.
struct BarePoints {
    BarePoints()
    {
        for (int lane = 0; lane < kMaxKernelLanes; ++lane) {
            re[lane] = -0.2 + 0.001 * (lane % 8);
            im[lane] = 0.1 + 0.001 * (lane / 8);
        }
    }
    BareStepJob Job() const { return {.pRe = re, .pIm = im, .steps = 1'000'000}; }

    double re[kMaxKernelLanes];
    double im[kMaxKernelLanes];
};
