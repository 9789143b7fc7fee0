#include "engine/render_worker.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "engine/iteration_kernel.h"
#include "engine/render_context.h"
#include "platform/image_layout.h"
#include "platform/system.h"

namespace {

// Counts the worker in; the census is kept outside the loops, once per band.
void JoinCensus()
{
    const int alive = ++g_workerCensus.nAlive;
    int most = g_workerCensus.nMostAlive.load();
    while (alive > most && !g_workerCensus.nMostAlive.compare_exchange_weak(most, alive)) {
    }
}

// The worker's last act: once the band reads -1, the renderer may start the next worker, and
// the count wakes it to do so. The count lives as long as the process: the band and its
// renderer may be gone by the time it is told.
unsigned FinishBand(WorkerBand& band)
{
    --g_workerCensus.nAlive;
    band.nState = -1;
    WorkerFinishes::Instance().Tell();
    return 0;
}

// c of `count` sample columns or rows from `first` on: the n samples of a pixel sit at
// fractions 0, 1/n, … of it from its left or bottom edge.
std::vector<double> SampleCoordinates(double centre, double span, int first, int count,
                                      int samplesAcross)
{
    std::vector<double> coordinates(static_cast<std::size_t>(count));
    for (int s = 0; s < count; ++s) {
        coordinates[static_cast<std::size_t>(s)] =
            centre + span * ((first + s) / static_cast<double>(samplesAcross) - 0.5);
    }
    return coordinates;
}

}  // namespace

WorkerCensus g_workerCensus;

WorkerFinishes& WorkerFinishes::Instance()
{
    static WorkerFinishes* finishes = new WorkerFinishes;
    return *finishes;
}

unsigned WorkerFinishes::Count() const
{
    const std::lock_guard lock(m_mutex);
    return m_nCount;
}

void WorkerFinishes::WaitPast(unsigned seen) const
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this, seen] { return m_nCount != seen; });
}

void WorkerFinishes::Tell()
{
    const int processor = platform::CurrentProcessor();
    {
        const std::lock_guard lock(m_mutex);
        ++m_nCount;
        if (processor != platform::kAnyProcessor) {
            const auto freed = m_freedProcessors.begin();
            auto end = std::remove(freed, freed + m_nFreed, processor);
            if (end == m_freedProcessors.end()) {
                end = std::move(freed + 1, end, freed);  // the oldest makes room
            }
            *end = processor;
            m_nFreed = static_cast<std::size_t>(end - freed) + 1;
        }
    }
    m_changed.notify_all();
}

int WorkerFinishes::TakeFreedProcessor()
{
    const std::lock_guard lock(m_mutex);
    return m_nFreed > 0 ? m_freedProcessors[--m_nFreed] : platform::kAnyProcessor;
}

void RenderBand(const WorkerBand& band, const IterationKernel& kernel, RowClaim* pRowClaim)
{
    const CRenderContext& owner = *band.pOwner;
    const int rows = band.nEndRow - band.nFirstRow;
    const int width = owner.m_nWidth;
    if (rows <= 0 || width <= 0) {
        return;
    }
    const int n = owner.m_nSubsamples;
    const std::vector<double> sampleRe =
        SampleCoordinates(owner.m_dCentreRe, owner.m_dSpanRe, 0, width * n, width * n);
    const std::vector<double> sampleIm = SampleCoordinates(
        owner.m_dCentreIm, owner.m_dSpanIm, band.nFirstRow * n, rows * n, owner.m_nHeight * n);
    std::uint64_t packedPalette[kMaxIterations];
    for (int index = 0; index < kMaxIterations; ++index) {
        packedPalette[index] =
            PackColour(owner.m_palBlue[index], owner.m_palGreen[index], owner.m_palRed[index]);
    }
    const std::size_t stride = static_cast<std::size_t>(ImageStride(width));
    const SampleBand samples{
        .pSampleRe = &sampleRe,
        .pSampleIm = &sampleIm,
        .pPackedPalette = packedPalette,
        .pFirstRow = owner.m_pWork.get() + static_cast<std::size_t>(band.nFirstRow) * stride,
        .stride = stride,
        .width = width,
        .rows = rows,
        .subsamples = n,
        .pGo = &band.GoFlag(),
        .pRowClaim = pRowClaim,
    };
    SampleStream stream(samples);
    if (pRowClaim != nullptr) {
        pRowClaim->Restart();
    }
    kernel.iterate(stream);
}

unsigned RenderWorker(void* pBand)
{
    WorkerBand& band = *static_cast<WorkerBand*>(pBand);
    JoinCensus();
    // A kernel the environment asked for but this machine lacks is never run; the programs
    // refuse to start with it.
    if (const IterationKernel* kernel = ActiveKernel()) {
        try {
            RenderBand(band, *kernel, &band.rowClaim);
        } catch (const std::bad_alloc&) {
            band.bOutOfMemory = 1;  // told to the renderer, which has the band rendered again
        }
    }
    return FinishBand(band);
}
