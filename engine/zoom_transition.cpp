#include "engine/zoom_transition.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <system_error>
#include <thread>
#include <vector>

#include <emmintrin.h>

#include "engine/byte_darkening.h"
#include "engine/render_context.h"
#include "engine/row_enlarging.h"
#include "engine/show_timing.h"
#include "engine/truncation.h"
#include "platform/draw_tools.h"
#include "platform/window.h"

namespace {

constexpr ColorRef kOutlineColour = 0x0088FF;  // orange: red 255, green 136, blue 0

// Nearest source index for each destination index along one axis: `first` is the
// rectangle's first pixel, `length` its extent (the sampling spans length + 1 pixels).
std::vector<int> SourceIndices(int first, int length, int count)
{
    std::vector<int> indices(static_cast<std::size_t>(count));
    for (int d = 0; d < count; ++d) {
        const int index = TruncToPixel(first + ((d + 0.5) * (length + 1)) / count);
        indices[static_cast<std::size_t>(d)] = std::clamp(index, 0, count - 1);
    }
    return indices;
}

// Copies a row into a frame with streaming stores that bypass the cache: a film is far
// larger than the cache, and stores that first read each line in would double its traffic.
void StreamRow(std::uint8_t* target, const std::uint8_t* row, std::size_t bytes)
{
    std::size_t head = (16 - reinterpret_cast<std::uintptr_t>(target) % 16) % 16;
    head = std::min(head, bytes);
    std::memcpy(target, row, head);
    std::size_t i = head;
    for (; i + 16 <= bytes; i += 16) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(target + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)));
    }
    std::memcpy(target + i, row + i, bytes - i);
}

// Just over a millisecond, busily, as the outline's pace.
void WaitOneOutlineStep(platform::Clock& clock)
{
    const std::int64_t ticks = clock.QueryPerformanceFrequency() / kOutlineStepsPerSecond;
    const std::int64_t start = clock.QueryPerformanceCounter();
    while (clock.QueryPerformanceCounter() - start <= ticks) {
    }
}

// The outline's pen on a DC for its life: orange, XOR-drawn, so that drawing an outline a
// second time erases it.
class OutlinePen {
public:
    OutlinePen(CDC& dc, int width, int height) : m_dc(dc), m_tools(&dc), m_nHeight(height)
    {
        m_tools.SelectPenBrush(kOutlineColour, kOutlineColour, OutlinePenWidth(width));
        dc.SetROP2(RasterOp::XorPen);
    }
    ~OutlinePen() { m_tools.RestorePenBrush(); }
    OutlinePen(const OutlinePen&) = delete;
    OutlinePen& operator=(const OutlinePen&) = delete;

    // The outline in window coordinates (y downwards); picture row y lies at window y = H − y.
    void Draw(const PictureRect& rect)
    {
        m_dc.MoveTo(rect.left, m_nHeight - rect.bottom);
        m_dc.LineTo(rect.right, m_nHeight - rect.bottom);
        m_dc.LineTo(rect.right, m_nHeight - rect.top);
        m_dc.LineTo(rect.left, m_nHeight - rect.top);
        m_dc.LineTo(rect.left, m_nHeight - rect.bottom);
    }

private:
    CDC& m_dc;
    CDrawTools m_tools;
    int m_nHeight;
};

}  // namespace

PictureRect ComputeTargetRect(int width, int height, const ViewBox& oldView,
                              const ViewBox& newView)
{
    const int cx =
        TruncToPixel(width * ((newView.centreRe - oldView.centreRe) / oldView.spanRe + 0.5));
    const int cy =
        TruncToPixel(height * ((newView.centreIm - oldView.centreIm) / oldView.spanIm + 0.5));
    const int w = TruncToPixel(width * (newView.spanRe / oldView.spanRe));
    const int h = TruncToPixel(height * (newView.spanIm / oldView.spanIm));
    return {cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
}

PictureRect InterpolateRect(const PictureRect& target, int width, int height, double a)
{
    return {TruncToPixel(target.left * a), TruncToPixel(target.bottom * a),
            TruncToPixel(target.right * a + width * (1 - a)),
            TruncToPixel(target.top * a + height * (1 - a))};
}

PictureRect OutlineAtStep(const PictureRect& target, int width, int height, int step)
{
    return InterpolateRect(target, width, height, std::sqrt(step * kOutlineStepFraction));
}

void DrawOutlineOverPicture(CWnd& window, std::uint8_t* pPicture, int width, int height,
                            const PictureRect& rect)
{
    CClientDC windowDC(&window);
    CDC memoryDC;
    memoryDC.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&windowDC, width, height);
    CBitmap* pOldBitmap = memoryDC.SelectObject(&bitmap);
    const BitmapInfoHeader header = MakeDibHeader(width, height);
    memoryDC.StretchDIBits(0, 0, width, height, 0, 0, width, height, pPicture, header);
    OutlinePen(memoryDC, width, height).Draw(rect);
    memoryDC.SelectObject(pOldBitmap);
    memoryDC.GetDIBits(&bitmap, 0, height, pPicture, header);
}

FilmFrameTiming FilmFrameAt(int frame, int frameCount)
{
    // A film of one frame is all ending: the black frame every film ends on.
    const double t = frameCount > 1 ? static_cast<double>(frame) / (frameCount - 1) : 1.0;
    return {t, std::sqrt(t), 1 - (std::cos(std::numbers::pi * t) + 1) * 0.5};
}

void ComputeFilmFrame(const std::uint8_t* pSource, std::uint8_t* pFrame, int width, int height,
                      const PictureRect& rect, double fade)
{
    if (width <= 0 || height <= 0) {
        return;
    }
    const std::vector<int> sourceCols =
        SourceIndices(rect.left, std::max(rect.right - rect.left, 0), width);
    const std::vector<int> sourceRows =
        SourceIndices(rect.bottom, std::max(rect.top - rect.bottom, 0), height);
    const ByteDarkening darkening(1 - fade);
    // The columns the frame shows, darkened once per source row rather than once per frame
    // pixel: the rectangle is mostly narrower than the frame.
    const int firstCol = sourceCols.front();
    const std::size_t darkBytes = 3 * static_cast<std::size_t>(sourceCols.back() - firstCol + 1);
    std::vector<std::uint8_t> darkRow(darkBytes + RowEnlarging::kSourceSlack);
    std::vector<int> pixelOffsets(static_cast<std::size_t>(width));
    for (std::size_t x = 0; x < pixelOffsets.size(); ++x) {
        pixelOffsets[x] = 3 * (sourceCols[x] - firstCol);
    }
    const RowEnlarging enlarging(std::move(pixelOffsets));
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
    std::vector<std::uint8_t> frameRow(rowBytes + RowEnlarging::kTargetSlack);
    const std::ptrdiff_t stride = ImageStride(width);
    for (int y = 0; y < height; ++y) {
        const int sourceRow = sourceRows[static_cast<std::size_t>(y)];
        // Rows enlarged from the same source row are the same row.
        if (y == 0 || sourceRow != sourceRows[static_cast<std::size_t>(y - 1)]) {
            darkening.Darken(pSource + sourceRow * stride + 3 * firstCol, darkRow.data(),
                             darkBytes);
            enlarging.Enlarge(darkRow.data(), frameRow.data());
        }
        StreamRow(pFrame + y * stride, frameRow.data(), rowBytes);
    }
    // Streaming stores are not ordered with the others: the frame is complete before whoever
    // learns that it is looks at it.
    _mm_sfence();
}

namespace {

// The film's frames shared out among workers, one frame at a time.
struct FilmJob {
    const std::uint8_t* pSource;
    std::vector<ImageBuffer>* pFrames;
    int width;
    int height;
    PictureRect target;
    const std::atomic<int>* pRunning;
    std::atomic<int> nNextFrame{0};
};

void ComputeFilmFrames(FilmJob& job)
{
    const int frameCount = static_cast<int>(job.pFrames->size());
    for (int f = job.nNextFrame++; f < frameCount && *job.pRunning; f = job.nNextFrame++) {
        const FilmFrameTiming timing = FilmFrameAt(f, frameCount);
        ComputeFilmFrame(
            job.pSource, (*job.pFrames)[static_cast<std::size_t>(f)].get(), job.width, job.height,
            InterpolateRect(job.target, job.width, job.height, timing.ease), timing.fade);
    }
}

}  // namespace

void ComputeFilm(const std::uint8_t* pSource, std::vector<ImageBuffer>& frames, int width,
                 int height, const PictureRect& target, const std::atomic<int>& running,
                 int processors)
{
    FilmJob job{pSource, &frames, width, height, target, &running};
    // This thread is one of the workers; the others are joined, so the film is done the
    // moment its last frame is.
    const int helperCount = std::min(std::max(processors, 1), static_cast<int>(frames.size())) - 1;
    std::vector<std::thread> helpers;
    for (int h = 0; h < helperCount; ++h) {
        try {
            helpers.emplace_back([&job] { ComputeFilmFrames(job); });
        } catch (const std::system_error&) {
            break;  // fewer helpers: the frames are shared among those there are
        }
    }
    ComputeFilmFrames(job);
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

void CRenderContext::PlayZoomTransition(double oldCentreRe, double oldCentreIm, double oldSpanRe,
                                        double oldSpanIm)
{
    const int width = m_nWidth;
    const int height = m_nHeight;
    if (!m_pDisplay || width <= 0 || height <= 0) {
        return;
    }
    const PictureRect target =
        ComputeTargetRect(width, height, {oldCentreRe, oldCentreIm, oldSpanRe, oldSpanIm},
                          {m_dCentreRe, m_dCentreIm, m_dSpanRe, m_dSpanIm});

    // The whole film is computed before any of it is shown, so that it plays smoothly.
    {
        const DisplayHold hold(*this);
        ComputeFilm(m_pDisplay.get(), m_frames, width, height, target, m_bRunning, m_nProcessors);
    }
    if (m_fnFilmReady && m_bRunning) {
        m_fnFilmReady();
    }

    // The outline closes in on the new view, XOR-drawn so that drawing it again erases it;
    // then it blinks there.
    {
        CWindowDC dc(&GetWindow());
        OutlinePen pen(dc, width, height);
        for (int step = 0; step <= kOutlineSteps; ++step) {
            if (!m_bRunning) {
                continue;
            }
            if (!m_bUnattended) {
                WaitOneOutlineStep(*m_pShowClock);
            }
            if (step > 0) {
                pen.Draw(OutlineAtStep(target, width, height, step - 1));
            }
            if (m_bRunning) {
                pen.Draw(OutlineAtStep(target, width, height, step));
            }
        }
        for (int blink = 0; blink < kBlinks && m_bRunning; ++blink) {
            pen.Draw(target);
            if (!m_bUnattended) {
                m_pShowClock->Sleep(kBlinkMs);
            }
        }
    }

    // The film, as fast as the window takes it.
    CWindowDC dc(&GetWindow());
    const BitmapInfoHeader header = MakeDibHeader(width, height);
    for (std::size_t f = 0; f < m_frames.size() && m_bRunning; ++f) {
        dc.StretchDIBits(0, 0, width, height, 0, 0, width, height, m_frames[f].get(), header);
    }
}
