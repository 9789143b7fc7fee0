// The render worker that colours one band of rows of the work image with the iteration
// kernel.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

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

// Counts every worker's end and wakes the threads waiting for it to change, so that the
// renderer starts the next band the moment a processor is free, and on that processor. A
// mutex and a condition variable: with std::atomic's wait instead, the Windows program
// (MinGW's GCC 12 library) was left waiting when a stop ended its workers.
class WorkerFinishes {
public:
    // The one count, never destroyed: a worker tells it after its band and its renderer may
    // be gone, and detached workers may still finish while the process exits.
    static WorkerFinishes& Instance();

    unsigned Count() const;
    // Returns once the count differs from `seen`: at once if a worker finished since.
    void WaitPast(unsigned seen) const;
    // A worker's last act: counts its end and notes the processor it gives up.
    void Tell();
    // The processor given up last that no thread was started on since (the caller is about
    // to), or platform::kAnyProcessor.
    int TakeFreedProcessor();

private:
    WorkerFinishes() = default;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    unsigned m_nCount = 0;
    // Distinct, oldest first; a fixed array, as a worker about to end cannot handle a failed
    // allocation. More processors than it holds are freed only by workers long gone.
    std::array<int, 64> m_freedProcessors{};
    std::size_t m_nFreed = 0;
};

// Thread procedure: computes the rows of the WorkerBand pBand points to into its owner's work
// image, or stops within kMaxIterations steps once the band's GoFlag is 0. Without memory for
// its samples it sets the band's bOutOfMemory instead. Sets the band's nState to -1, then
// tells WorkerFinishes, touching the band no more. Returns 0.
unsigned RenderWorker(void* pBand);

// The band's rows with the given kernel, the body of RenderWorker; stops once its GoFlag is
// 0. With pRowClaim (the band's rowClaim, in a render), claims its rows one by one and leaves
// those a helper took over; without it, computes them all.
void RenderBand(const WorkerBand& band, const IterationKernel& kernel,
                RowClaim* pRowClaim = nullptr);
