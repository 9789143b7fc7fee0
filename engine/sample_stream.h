// One band's sample points as a stream that the iteration kernels draw from, a group of
// neighbouring samples at a time, and the pixels their indices make.
//
// Each register of a kernel takes a group of consecutive samples (neighbours in one pixel,
// whose step counts differ little) and iterates it until its last sample is done, then hands
// the group's indices in and takes the next group. Registers finish their groups out of
// order. Each sample's index goes into a ring of slots, one per sample; pixels whose samples
// are all older than every sample still in a register are then settled in bulk: the colours
// of their indices summed and averaged. Integer sums do not depend on the order of their
// terms, so each pixel is exactly the average of its samples' colours.
//
// A pixel whose samples all escape at the first step never reaches a kernel: each has index
// 0, so the pixel is written in the colour of index 0 as it comes, and tickets number only the
// samples that are queued.
//
// Everything here is inline and compiled for the baseline instruction set: the kernels of
// every instruction set include it before switching their own target on.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <vector>

#include "engine/row_claim.h"

// Steps at most per sample point.
inline constexpr int kMaxIterations = 1000;
// A sample has escaped once x² + y² lies above this.
inline constexpr double kEscapeLimit = 10.0;
// The most lanes a kernel iterates side by side; bounds how far samples finish out of order.
inline constexpr int kMaxKernelLanes = 48;
// The most samples in one group.
inline constexpr int kMaxGroupWidth = 8;

// The colours of the iteration indices packed for summing: blue, green and red, 16 bits each.
// n² ≤ 256 samples of at most 255 never carry into the next field.
inline std::uint64_t PackColour(std::uint8_t blue, std::uint8_t green, std::uint8_t red)
{
    return blue | (std::uint64_t{green} << 16) | (std::uint64_t{red} << 32);
}

// What a render worker hands a kernel: the band's samples, where their pixels go, and the
// flag that stops it.
struct SampleBand {
    const std::vector<double>* pSampleRe = nullptr;  // c re of each sample column, W·n of them
    const std::vector<double>* pSampleIm = nullptr;  // c im of each sample row of the band
    const std::uint64_t* pPackedPalette = nullptr;   // kMaxIterations packed colours
    std::uint8_t* pFirstRow = nullptr;               // the band's first image row
    std::size_t stride = 0;
    int width = 0;
    int rows = 0;
    int subsamples = 0;  // n: n × n samples per pixel
    const std::atomic<int>* pGo = nullptr;
    // Claimed a row at a time as its samples are queued, so that a helper may take the rows
    // not begun; null: every row is this stream's.
    RowClaim* pRowClaim = nullptr;
};

class SampleStream {
public:
    explicit SampleStream(const SampleBand& band)
        : m_band(band),
          m_samplesPerPixel(band.subsamples * band.subsamples),
          m_pixelCount(static_cast<std::int64_t>(band.width) * band.rows),
          m_indices(std::make_unique_for_overwrite<std::uint16_t[]>(kIndexSlots)),
          m_leastSquareRe(LeastSquares(*band.pSampleRe, band.subsamples)),
          m_leastSquareIm(LeastSquares(*band.pSampleIm, band.subsamples)),
          m_escapedColour(Average(m_samplesPerPixel * band.pPackedPalette[0]))
    {
    }

    // What a kernel keeps in its own registers while it takes groups and hands in indices.
    // A sample's ticket is its number among the band's queued samples; a group's is that of
    // its first sample.
    struct Cursor {
        const double* pQueueRe;
        const double* pQueueIm;
        std::size_t taken;
        std::size_t queued;
        std::int64_t nextTicket;
        std::int64_t endTicket;  // the band's queued samples, as far as known
        std::uint16_t* pIndices;
    };

    // Opens the stream for groups of `groupWidth` samples (1 to kMaxGroupWidth).
    Cursor Open(int groupWidth)
    {
        m_groupWidth = groupWidth;
        // Whole pixels at a time, and whole groups: a group never spans two refills.
        const int unit = groupWidth / std::gcd(groupWidth, m_samplesPerPixel);
        const int pixels = std::max(kQueuedSamples / m_samplesPerPixel / unit, 1) * unit;
        m_queuedPerRefill = pixels;
        // The band's last group is filled up with samples that escape at once.
        m_queueRe.assign(static_cast<std::size_t>(pixels * m_samplesPerPixel + groupWidth), 0.0);
        m_queueIm.assign(m_queueRe.size(), 0.0);
        return {m_queueRe.data(), m_queueIm.data(), 0, 0, 0, m_pixelCount * m_samplesPerPixel,
                m_indices.get()};
    }

    // False once the band's flag asks the worker to stop.
    bool MayGo() const { return m_band.pGo->load(std::memory_order_relaxed) != 0; }

    // True when the band has no group left to take.
    static bool Exhausted(const Cursor& cursor) { return cursor.nextTicket >= cursor.endTicket; }

    // True when Take needs Refill first.
    static bool Drained(const Cursor& cursor) { return cursor.taken == cursor.queued; }

    // Settles every pixel whose samples all lie before `oldestInLane` (the oldest ticket any
    // register still holds; the next ticket when none does), then lays out the samples of the
    // next pixels for Take. The band may end here, when the pixels left escape at once or a
    // helper took the rest: Exhausted may hold after it.
    void Refill(Cursor& cursor, std::int64_t oldestInLane)
    {
        Settle(oldestInLane);
        cursor.taken = 0;
        cursor.queued = QueueNextPixels();
        cursor.endTicket = m_pixelCount * m_samplesPerPixel;
    }

    // The next group (Exhausted false, Drained false): its samples' c from pRe and pIm on,
    // and its ticket.
    template <int kWidth>
    static std::int64_t Take(Cursor& cursor, const double*& pRe, const double*& pIm)
    {
        pRe = cursor.pQueueRe + cursor.taken;
        pIm = cursor.pQueueIm + cursor.taken;
        const std::int64_t ticket = cursor.nextTicket;
        cursor.taken += kWidth;
        cursor.nextTicket += kWidth;
        return ticket;
    }

    // Where the indices of the group `ticket` stands for go, one slot per sample in order.
    // Groups start at multiples of their width, which divides kIndexSlots, so a group's slots
    // never wrap; those of samples the band's end filled in are never read.
    static std::uint16_t* Slots(const Cursor& cursor, std::int64_t ticket)
    {
        return cursor.pIndices + (ticket & (kIndexSlots - 1));
    }

    // Writes the pixels still unsettled once every sample is handed in.
    void Finish() { Settle(m_pixelCount * m_samplesPerPixel); }

private:
    // Samples laid out ahead at a time, in the order registers take them.
    static constexpr int kQueuedSamples = 1024;
    // A register keeps one group for at most kMaxIterations steps while every register takes
    // at most one group per step, so the samples from the oldest one in a register to the
    // newest number at most kMaxKernelLanes · (kMaxIterations + 1). Pixels are settled at
    // each refill, so one queue (whole groups of whole pixels: at most kQueuedSamples, or
    // kMaxGroupWidth pixels) and one pixel (at most 256 samples) more are unsettled at most.
    static constexpr std::int64_t kIndexSlots = 65536;
    static_assert(kIndexSlots >= kMaxKernelLanes * (kMaxIterations + 1) +
                                     std::max(kQueuedSamples, kMaxGroupWidth * 256) + 256);

    struct Colour {
        std::uint8_t blue, green, red;
    };

    // The least square of each pixel's n sample coordinates along one axis. Rounding keeps
    // the order of sums, so when the least square across plus the least square up lies above
    // the escape limit, every sample of the pixel escapes at the first step (x² + y² of its c).
    static std::vector<double> LeastSquares(const std::vector<double>& coordinates, int n)
    {
        std::vector<double> least(coordinates.size() / static_cast<std::size_t>(n));
        for (std::size_t pixel = 0; pixel < least.size(); ++pixel) {
            const double* c = &coordinates[pixel * static_cast<std::size_t>(n)];
            least[pixel] = c[0] * c[0];
            for (int s = 1; s < n; ++s) {
                least[pixel] = std::min(least[pixel], c[s] * c[s]);
            }
        }
        return least;
    }

    // The average of a pixel's samples from the sum of their packed colours, each channel's
    // sum divided with truncation. A sum is below 2^16 and the count at most 256, so
    // multiplying by ⌊2^32 / count⌋ + 1 and dropping 32 bits divides exactly, cheaper than a
    // division.
    Colour Average(std::uint64_t sum) const
    {
        return {static_cast<std::uint8_t>(((sum & 0xFFFF) * m_reciprocal) >> 32),
                static_cast<std::uint8_t>((((sum >> 16) & 0xFFFF) * m_reciprocal) >> 32),
                static_cast<std::uint8_t>((((sum >> 32) & 0xFFFF) * m_reciprocal) >> 32)};
    }

    void Settle(std::int64_t oldestInLane)
    {
        const std::int64_t settledEnd = oldestInLane / m_samplesPerPixel;
        for (; m_settledPixels < settledEnd; ++m_settledPixels) {
            std::uint64_t sum = 0;
            const std::int64_t first = m_settledPixels * m_samplesPerPixel;
            for (int s = 0; s < m_samplesPerPixel; ++s) {
                sum += m_band.pPackedPalette[m_indices[(first + s) & (kIndexSlots - 1)]];
            }
            WritePixel(Average(sum));
        }
    }

    // The samples of the next pixels into the queue, the band's last group filled up with
    // c = 4, which escapes at the first step; how many samples are queued. Pixels that escape
    // at once on the way are written instead.
    std::size_t QueueNextPixels()
    {
        const int n = m_band.subsamples;
        const std::vector<double>& sampleRe = *m_band.pSampleRe;
        const std::vector<double>& sampleIm = *m_band.pSampleIm;
        std::size_t queued = 0;
        for (int p = 0; p < m_queuedPerRefill && m_queuedPixels < m_pixelCount;) {
            if (m_column == 0 && m_band.pRowClaim != nullptr &&
                !m_band.pRowClaim->ClaimNext(m_band.rows)) {
                m_pixelCount = m_queuedPixels;  // the rows from here on are a helper's
                break;
            }
            const int escapedEnd = EscapedRunEnd();
            if (escapedEnd > m_column) {
                WriteEscapedRun(escapedEnd);
                const int pixels = escapedEnd - m_column;
                m_pixelCount -= pixels;
                m_position += pixels;
                m_column = escapedEnd;
            } else {
                for (int k = 0; k < n; ++k) {
                    const double cIm = sampleIm[static_cast<std::size_t>(m_row * n + k)];
                    for (int l = 0; l < n; ++l) {
                        m_queueRe[queued] = sampleRe[static_cast<std::size_t>(m_column * n + l)];
                        m_queueIm[queued] = cIm;
                        ++queued;
                    }
                }
                ++p;
                ++m_queuedPixels;
                ++m_position;
                ++m_column;
            }
            if (m_column == m_band.width) {
                m_column = 0;
                ++m_row;
            }
        }
        for (; queued % static_cast<std::size_t>(m_groupWidth) != 0; ++queued) {
            m_queueRe[queued] = 4.0;
            m_queueIm[queued] = 0.0;
        }
        return queued;
    }

    // The column after the pixels of the current row from the next to queue on whose samples
    // all escape at the first step.
    int EscapedRunEnd() const
    {
        const double leastSquareIm = m_leastSquareIm[static_cast<std::size_t>(m_row)];
        const double* leastSquareRe = m_leastSquareRe.data();
        int column = m_column;
        while (column < m_band.width && leastSquareRe[column] + leastSquareIm > kEscapeLimit) {
            ++column;
        }
        return column;
    }

    // The current row's pixels up to column `end`, written at once: their samples escape at
    // the first step. Settle steps over them.
    void WriteEscapedRun(int end)
    {
        const std::int64_t runEnd = m_position + (end - m_column);
        if (m_escapedRuns.empty() || m_escapedRuns.back().end != m_position) {
            m_escapedRuns.push_back({m_position, runEnd});
        } else {
            m_escapedRuns.back().end = runEnd;
        }
        const Colour colour = m_escapedColour;
        std::uint8_t* target = PixelAt(m_row, m_column);
        for (std::uint8_t* const last = PixelAt(m_row, end); target != last; target += 3) {
            Store(target, colour);
        }
    }

    // The next queued pixel to settle, past the pixels written at once before it.
    void WritePixel(Colour colour)
    {
        if (m_passedRuns < m_escapedRuns.size() &&
            m_escapedRuns[m_passedRuns].first == m_settledPosition) {
            m_settledPosition = m_escapedRuns[m_passedRuns].end;
            m_settledRow = static_cast<int>(m_settledPosition / m_band.width);
            m_settledColumn = static_cast<int>(m_settledPosition % m_band.width);
            if (++m_passedRuns == m_escapedRuns.size()) {
                m_escapedRuns.clear();
                m_passedRuns = 0;
            }
        }
        Store(PixelAt(m_settledRow, m_settledColumn), colour);
        ++m_settledPosition;
        if (++m_settledColumn == m_band.width) {
            m_settledColumn = 0;
            ++m_settledRow;
        }
    }

    std::uint8_t* PixelAt(int row, int column) const
    {
        return m_band.pFirstRow + static_cast<std::size_t>(row) * m_band.stride +
               3 * static_cast<std::size_t>(column);
    }

    static void Store(std::uint8_t* target, Colour colour)
    {
        target[0] = colour.blue;
        target[1] = colour.green;
        target[2] = colour.red;
    }

    // Pixels of the band, counted from its first, written at once: [first, end).
    struct PixelRun {
        std::int64_t first;
        std::int64_t end;
    };

    const SampleBand& m_band;
    const int m_samplesPerPixel;
    const std::uint64_t m_reciprocal = (std::uint64_t{1} << 32) / m_samplesPerPixel + 1;
    // The pixels this stream queues at most: lowered by those written at once and when a
    // helper takes the band's upper rows.
    std::int64_t m_pixelCount;
    // By ticket, modulo kIndexSlots; each slot is written before it is read, so the buffer is
    // left as it comes: a band outside the set never touches its pages.
    std::unique_ptr<std::uint16_t[]> m_indices;
    std::vector<double> m_leastSquareRe;   // by pixel column
    std::vector<double> m_leastSquareIm;   // by row of the band
    Colour m_escapedColour;
    // The runs of pixels written at once that Settle has still to step over, from the
    // m_passedRuns-th on.
    std::vector<PixelRun> m_escapedRuns;
    std::size_t m_passedRuns = 0;
    int m_groupWidth = 1;
    int m_queuedPerRefill = 1;             // pixels
    std::vector<double> m_queueRe;
    std::vector<double> m_queueIm;
    std::int64_t m_queuedPixels = 0;
    std::int64_t m_settledPixels = 0;  // of those queued
    std::int64_t m_position = 0;       // of the next pixel to queue, in the band
    int m_row = 0;
    int m_column = 0;
    std::int64_t m_settledPosition = 0;  // of the next pixel to settle, in the band
    int m_settledRow = 0;
    int m_settledColumn = 0;
};
