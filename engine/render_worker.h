// The render worker that colours one band of rows of the work image with the iteration
// kernel.
#pragma once

#include <atomic>

#include "engine/sample_stream.h"

struct IterationKernel;
struct WorkerBand;

// How many render workers are computing at this moment, and the most at once since a test
// last reset it: lets tests see that a render keeps every processor busy and no more.
struct WorkerCensus {
    std::atomic<int> nAlive{0};
    std::atomic<int> nMostAlive{0};
};
extern WorkerCensus g_workerCensus;

// Counts every worker's end and wakes the threads waiting for it to change (std::atomic's
// wait), so that the renderer starts the next band the moment a processor is free.
extern std::atomic<unsigned> g_nWorkersFinished;

// Thread procedure: computes the rows of the WorkerBand pBand points to into its owner's work
// image, or stops within kMaxIterations steps once the band's GoFlag is 0. Without memory for
// its samples it sets the band's bOutOfMemory instead. Sets the band's nState to -1, then
// counts itself in g_nWorkersFinished, touching the band no more. Returns 0.
unsigned RenderWorker(void* pBand);

// The band's rows with the given kernel, the body of RenderWorker; stops once its GoFlag is
// 0. With pRowClaim (the band's rowClaim, in a render), claims its rows one by one and leaves
// those a helper took over; without it, computes them all.
void RenderBand(const WorkerBand& band, const IterationKernel& kernel,
                RowClaim* pRowClaim = nullptr);
