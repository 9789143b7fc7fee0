#include "engine/transition_film.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include <emmintrin.h>

#include "engine/byte_darkening.h"
#include "engine/row_enlarging.h"
#include "engine/truncation.h"
#include "platform/image_layout.h"

namespace {

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

// Copies a row into a frame with streaming stores that bypass the cache: a frame is far
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

// Rows firstRow … endRow − 1 of a film frame (see ComputeFilmFrame).
void ComputeFilmRows(const std::uint8_t* pSource, std::uint8_t* pFrame, int width, int height,
                     const PictureRect& rect, double fade, int firstRow, int endRow)
{
    if (width <= 0 || firstRow >= endRow) {
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
    for (int y = firstRow; y < endRow; ++y) {
        const int sourceRow = sourceRows[static_cast<std::size_t>(y)];
        // Rows enlarged from the same source row are the same row.
        if (y == firstRow || sourceRow != sourceRows[static_cast<std::size_t>(y - 1)]) {
            darkening.Darken(pSource + sourceRow * stride + 3 * firstCol, darkRow.data(),
                             darkBytes);
            enlarging.Enlarge(darkRow.data(), frameRow.data());
        }
        StreamRow(pFrame + y * stride, frameRow.data(), rowBytes);
    }
    // Streaming stores are not ordered with the others: the rows are complete before whoever
    // learns that they are looks at them.
    _mm_sfence();
}

}  // namespace

FilmFrameTiming FilmFrameAt(int frame, int frameCount)
{
    // A film of one frame is all ending: the black frame every film ends on.
    const double t = frameCount > 1 ? static_cast<double>(frame) / (frameCount - 1) : 1.0;
    return {t, std::sqrt(t), 1 - (std::cos(std::numbers::pi * t) + 1) * 0.5};
}

void ComputeFilmFrame(const std::uint8_t* pSource, std::uint8_t* pFrame, int width, int height,
                      const PictureRect& rect, double fade)
{
    ComputeFilmRows(pSource, pFrame, width, height, rect, fade, 0, height);
}

void TransitionFilm::Allocate(int width, int height, std::size_t frameCount)
{
    Clear();
    if (frameCount == 0 || width <= 0 || height <= 0) {
        return;
    }
    const std::size_t size = ImageSize(width, height);
    m_pPicture = AllocateImage(size);
    m_pFrames[0] = AllocateImage(size);
    if (!m_pPicture || !m_pFrames[0]) {
        Clear();
        return;
    }
    m_pFrames[1] = AllocateImage(size);
    m_nWidth = width;
    m_nHeight = height;
    m_nFrames = frameCount;
}

void TransitionFilm::Clear()
{
    m_nFrames = 0;
    m_pPicture.reset();
    m_pFrames[0].reset();
    m_pFrames[1].reset();
}

void TransitionFilm::Load(const std::uint8_t* pPicture, const PictureRect& target)
{
    if (!empty()) {
        std::memcpy(m_pPicture.get(), pPicture, ImageSize(m_nWidth, m_nHeight));
        m_target = target;
    }
}

const std::uint8_t* TransitionFilm::Frame(int f, int processors)
{
    MakeFrame(f, m_pFrames[0].get(), processors);
    return m_pFrames[0].get();
}

void TransitionFilm::Play(const std::function<void(const std::uint8_t* pFrame)>& show,
                          const std::atomic<int>& running, int processors)
{
    const int frameCount = static_cast<int>(m_nFrames);
    if (frameCount == 0 || !running) {
        return;
    }
    const auto bufferOf = [this](int f) { return m_pFrames[m_pFrames[1] ? f % 2 : 0].get(); };
    MakeFrame(0, bufferOf(0), processors);
    for (int f = 0; f < frameCount && running; ++f) {
        const bool bNext = f + 1 < frameCount;
        // The next frame is made in the other buffer while this one is shown.
        std::optional<std::thread> maker;
        if (bNext && m_pFrames[1] && processors > 1) {
            try {
                maker.emplace([this, f, &bufferOf, processors] {
                    MakeFrame(f + 1, bufferOf(f + 1), processors - 1);
                });
            } catch (const std::system_error&) {
                // made after showing, on this thread
            }
        }
        show(bufferOf(f));
        if (maker) {
            maker->join();
        } else if (bNext && running) {
            MakeFrame(f + 1, bufferOf(f + 1), processors);
        }
    }
}

void TransitionFilm::MakeFrame(int f, std::uint8_t* pFrame, int threads) const
{
    const FilmFrameTiming timing = FilmFrameAt(f, static_cast<int>(m_nFrames));
    const PictureRect rect = InterpolateRect(m_target, m_nWidth, m_nHeight, timing.ease);
    const int parts = std::clamp(threads, 1, std::max(m_nHeight, 1));
    const auto rowOf = [&](int part) {
        return static_cast<int>(static_cast<long long>(m_nHeight) * part / parts);
    };
    const auto makePart = [&](int part) {
        ComputeFilmRows(m_pPicture.get(), pFrame, m_nWidth, m_nHeight, rect, timing.fade,
                        rowOf(part), rowOf(part + 1));
    };
    // This thread makes the first part; the others are joined, so the frame is done the
    // moment the last part is.
    std::vector<std::thread> helpers;
    int part = 1;
    for (; part < parts; ++part) {
        try {
            helpers.emplace_back(makePart, part);
        } catch (const std::system_error&) {
            break;  // the parts left are made here
        }
    }
    makePart(0);
    for (; part < parts; ++part) {
        makePart(part);
    }
    for (std::thread& helper : helpers) {
        helper.join();
    }
}
