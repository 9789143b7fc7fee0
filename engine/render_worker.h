// The iteration kernel of the variant set and the render worker that colours one band of
// rows of the work image with it.
#pragma once

#include <atomic>

// Steps at most per sample point.
inline constexpr int kMaxIterations = 1000;
// Sample points the kernel iterates side by side: two rows of a pixel's samples.
inline constexpr int kKernelLanes = 8;

// The iteration indices (0 … 999) of kKernelLanes sample points. A point that escapes at
// step s gets s − 1; one that never escapes gets 0.
void IterateSamples(const double cRe[kKernelLanes], const double cIm[kKernelLanes],
                    int index[kKernelLanes]);

// How many render workers are computing at this moment, and the most at once since a test
// last reset it: lets tests see that a render keeps every processor busy and no more.
struct WorkerCensus {
    std::atomic<int> nAlive{0};
    std::atomic<int> nMostAlive{0};
};
extern WorkerCensus g_workerCensus;

// Thread procedure: computes the rows of the WorkerBand pBand points to into its owner's work
// image, or stops before its next rows of samples once the band's bGo is 0. Sets the band's
// nState to -1 last. Returns 0.
unsigned RenderWorker(void* pBand);
