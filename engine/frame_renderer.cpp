#include <algorithm>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

#include "engine/caption_style.h"
#include "engine/iteration_kernel.h"
#include "engine/render_context.h"
#include "engine/render_worker.h"

namespace {

template <class Bands>
int CountBandsInState(const Bands& bands, std::size_t end, int state)
{
    return static_cast<int>(std::count_if(bands.begin(), bands.begin() + end,
                                          [state](const WorkerBand& band) {
                                              return band.nState.load() == state;
                                          }));
}

int Rows(const WorkerBand& band) { return band.nEndRow - band.nFirstRow; }

// The running band or piece with the most rows not begun, if one has two or more.
WorkerBand* MostRowsUnclaimed(std::vector<WorkerBand>& bands, std::deque<WorkerBand>& pieces)
{
    WorkerBand* pMost = nullptr;
    int most = 1;
    const auto consider = [&pMost, &most](WorkerBand& band) {
        const int unclaimed = band.rowClaim.Unclaimed(Rows(band));
        if (band.nState.load() == 1 && unclaimed > most) {
            pMost = &band;
            most = unclaimed;
        }
    };
    std::for_each(bands.begin(), bands.end(), consider);
    std::for_each(pieces.begin(), pieces.end(), consider);
    return pMost;
}

// Two thirds of the picture under the box, one third of the box on top.
std::uint8_t BlendCaption(std::uint8_t picture, std::uint8_t box)
{
    return static_cast<std::uint8_t>(std::clamp(2 * picture / 3 + box / 3, 0, 255));
}

}  // namespace

bool CRenderContext::RenderBands(double centreRe, double centreIm, double span,
                                 const std::function<void()>& onCounted)
{
    ++m_nShown;
    ++m_nStep;
    if (onCounted) {
        onCounted();
    }

    // Square pixels: the span covers the shorter side.
    if (m_nWidth > m_nHeight) {
        m_dSpanIm = span;
        m_dSpanRe = (m_nWidth * span) / m_nHeight;
    } else {
        m_dSpanRe = span;
        m_dSpanIm = (m_nHeight * span) / m_nWidth;
    }
    m_dCentreRe = centreRe;
    m_dCentreIm = centreIm;

    // The bands tile the rows from the bottom up; with fewer rows than bands some are empty.
    const std::size_t bandCount = m_bands.size();
    const auto bandEdge = [this, bandCount](std::size_t m) {
        return static_cast<int>(static_cast<long long>(m) * m_nHeight /
                                static_cast<long long>(bandCount));
    };
    for (std::size_t m = 0; m < bandCount; ++m) {
        WorkerBand& band = m_bands[m];
        band.nFirstRow = bandEdge(m);
        band.nEndRow = bandEdge(m + 1);
        band.pOwner = this;
        band.nState = 1;
        band.bGo = 1;
        band.rowClaim.Reset();
    }
    m_pieces.clear();
    // A stop that cleared the go flags before they were raised must not be lost.
    if (m_bRunning == 0) {
        StopWorkers();
    }

    // Bands are handed out in order, a new one as soon as a worker finishes, so that slow
    // bands full of interior do not leave processors idle.
    const int processors = std::max(m_nProcessors, 1);
    WorkerFinishes& finishes = WorkerFinishes::Instance();
    for (std::size_t w = 0; w < bandCount; ++w) {
        if (!platform::BeginThread(RenderWorker, &m_bands[w], finishes.TakeFreedProcessor())) {
            // No thread to be had: this thread computes the band itself.
            RenderWorker(&m_bands[w]);
        }
        for (unsigned seen = finishes.Count(); CountBandsInState(m_bands, w + 1, 1) >= processors;
             seen = finishes.Count()) {
            finishes.WaitPast(seen);
        }
    }
    // Every band has started: a processor whose worker finished takes over the upper half of
    // the rows not begun of the band (or piece) with most of them, as a piece of its own, so
    // that the last bands do not run alone while the other processors idle.
    for (;;) {
        // Read before the bands, so that a worker finishing after them is not waited for.
        const unsigned seen = finishes.Count();
        int unfinished = CountBandsInState(m_bands, bandCount, 1) +
                         CountBandsInState(m_pieces, m_pieces.size(), 1);
        if (unfinished == 0) {
            break;
        }
        for (; unfinished < processors && m_bRunning != 0; ++unfinished) {
            WorkerBand* pFrom = MostRowsUnclaimed(m_bands, m_pieces);
            if (pFrom == nullptr) {
                break;
            }
            const RowClaim::Rows rows = pFrom->rowClaim.GiveAwayUpperHalf(Rows(*pFrom));
            if (rows.first == rows.end) {
                break;  // its worker claimed them meanwhile
            }
            WorkerBand& piece = m_pieces.emplace_back();
            piece.nFirstRow = pFrom->nFirstRow + rows.first;
            piece.nEndRow = pFrom->nFirstRow + rows.end;
            piece.pOwner = this;
            piece.pSplitFrom = pFrom;
            piece.nState = 1;
            piece.bGo = 1;
            if (!platform::BeginThread(RenderWorker, &piece, finishes.TakeFreedProcessor())) {
                RenderWorker(&piece);
            }
        }
        finishes.WaitPast(seen);
    }
    // A band whose worker found no memory is rendered here, now that the others have freed
    // theirs; without memory here either, std::bad_alloc tells the caller.
    const auto renderIfNoMemory = [this](WorkerBand& band) {
        if (band.bOutOfMemory.exchange(0) != 0 && m_bRunning != 0) {
            RenderBand(band, *ActiveKernel(), &band.rowClaim);
        }
    };
    std::for_each(m_bands.begin(), m_bands.end(), renderIfNoMemory);
    std::for_each(m_pieces.begin(), m_pieces.end(), renderIfNoMemory);

    return m_bRunning != 0;
}

int CRenderContext::Render(double centreRe, double centreIm, double span,
                           const std::function<void()>& onCounted)
{
    // The view on screen, where the zoom transition starts.
    const double oldSpanRe = m_dSpanRe;
    const double oldSpanIm = m_dSpanIm;
    const double oldCentreRe = m_dCentreRe;
    const double oldCentreIm = m_dCentreIm;

    if (!RenderBands(centreRe, centreIm, span, onCounted)) {
        return 0;
    }
    StampCaption();
    if (m_nStep > 2) {
        PlayZoomTransition(oldCentreRe, oldCentreIm, oldSpanRe, oldSpanIm);
    }
    const std::size_t size = ImageSize(m_nWidth, m_nHeight);
    if (size > 0) {
        // The grid image is copied beside the display image, on a thread of its own when there
        // are processors for it: the first copy into fresh pages costs mostly their faulting
        // in, which two processors do at once.
        const auto copyGrid = [this, size] { std::memcpy(m_pGrid.get(), m_pWork.get(), size); };
        std::optional<std::thread> gridCopy;
        if (m_nProcessors > 1) {
            try {
                gridCopy.emplace(copyGrid);
            } catch (const std::system_error&) {
                // copied below, after the display image
            }
        }
        {
            const DisplayHold hold(*this);
            std::memcpy(m_pDisplay.get(), m_pWork.get(), size);
        }
        if (gridCopy) {
            gridCopy->join();
        } else {
            copyGrid();
        }
    }
    DrawGrid();
    return 0;
}

void CRenderContext::StampCaption()
{
    const int boxWidth = m_sizeCaptionBox.cx;
    const int boxHeight = m_sizeCaptionBox.cy;
    if (boxWidth <= 0 || boxHeight <= 0) {
        return;
    }
    const std::size_t boxStride = static_cast<std::size_t>(ImageStride(boxWidth));
    ImageBuffer box = AllocateImage(ImageSize(boxWidth, boxHeight));
    if (!box) {
        return;  // a picture without its caption rather than no picture
    }
    // Centred in the box.
    RasterizeText(GetWindow(), CaptionFont(m_nCaptionPoints), m_strCaption, m_sizeCaptionBox,
                  (boxWidth - m_sizeCaption.cx) / 2, (boxHeight - m_sizeCaption.cy) / 2,
                  box.get());

    // A box larger than the picture is cut at the picture's edges.
    const int columns = std::min(boxWidth, m_nWidth);
    const int rows = std::min(boxHeight, m_nHeight);
    const std::size_t stride = static_cast<std::size_t>(GetStride());
    for (int y = 0; y < rows; ++y) {
        std::uint8_t* picture = m_pWork.get() + y * stride;
        const std::uint8_t* caption = box.get() + y * boxStride;
        for (int i = 0; i < 3 * columns; ++i) {
            picture[i] = BlendCaption(picture[i], caption[i]);
        }
    }
}
