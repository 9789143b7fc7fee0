// One band's sample points as a stream that the iteration kernels draw from, lane by lane, and
// the pixel sums their indices go into.
//
// A kernel lane takes the next sample the moment its previous one is done, so samples finish
// out of order; each pixel's sum is kept in a ring of slots until all its samples are in, then
// the pixel is written. Integer sums do not depend on the order of their terms, so the pixel
// is exactly the average of its samples' colours.
//
// Everything here is inline and compiled for the baseline instruction set: the kernels of
// every instruction set include it before switching their own target on.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// Steps at most per sample point.
inline constexpr int kMaxIterations = 1000;
// The most lanes a kernel iterates side by side; bounds how far samples finish out of order.
inline constexpr int kMaxKernelLanes = 32;

// The colours of the iteration indices packed for summing: blue, green, red and a sample
// count, 16 bits each. n² ≤ 256 samples of at most 255 never carry into the next field.
inline std::uint64_t PackColour(std::uint8_t blue, std::uint8_t green, std::uint8_t red)
{
    return blue | (std::uint64_t{green} << 16) | (std::uint64_t{red} << 32) |
           (std::uint64_t{1} << 48);
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
};

class SampleStream {
public:
    explicit SampleStream(const SampleBand& band)
        : m_band(band),
          m_samplesPerPixel(band.subsamples * band.subsamples),
          m_pixelCount(static_cast<std::int64_t>(band.width) * band.rows),
          m_ring(RingSize(m_samplesPerPixel), 0),
          m_queueRe(static_cast<std::size_t>(kQueuedPixels * m_samplesPerPixel)),
          m_queueIm(m_queueRe.size()),
          m_queuePixel(m_queueRe.size())
    {
    }

    // What a kernel keeps in its own registers while it takes samples and hands in indices.
    struct Cursor {
        const double* pQueueRe;
        const double* pQueueIm;
        const std::int64_t* pQueuePixel;
        std::size_t taken;
        std::size_t queued;
        std::uint64_t* pRing;
        std::int64_t ringMask;
        const std::uint64_t* pPackedPalette;
        std::uint64_t samplesPerPixel;
    };

    Cursor Open()
    {
        return {m_queueRe.data(),
                m_queueIm.data(),
                m_queuePixel.data(),
                0,
                0,
                m_ring.data(),
                static_cast<std::int64_t>(m_ring.size()) - 1,
                m_band.pPackedPalette,
                static_cast<std::uint64_t>(m_samplesPerPixel)};
    }

    // False once the band's flag asks the worker to stop.
    bool MayGo() const { return m_band.pGo->load(std::memory_order_relaxed) != 0; }

    // The next sample point and the ticket to hand in with its index; false when the band
    // has no samples left.
    bool Take(Cursor& cursor, double& cRe, double& cIm, std::int64_t& ticket)
    {
        if (cursor.taken == cursor.queued) {
            cursor.taken = 0;
            cursor.queued = QueueNextPixels();
            if (cursor.queued == 0) {
                return false;
            }
        }
        cRe = cursor.pQueueRe[cursor.taken];
        cIm = cursor.pQueueIm[cursor.taken];
        ticket = cursor.pQueuePixel[cursor.taken];
        ++cursor.taken;
        return true;
    }

    // The index of the sample `ticket` stood for; the pixel is written once it is complete.
    void Hand(const Cursor& cursor, std::int64_t ticket, int index)
    {
        std::uint64_t& sum = cursor.pRing[ticket & cursor.ringMask];
        const std::uint64_t total = sum + cursor.pPackedPalette[index];
        if ((total >> 48) == cursor.samplesPerPixel) {
            WritePixel(ticket, total);
            sum = 0;
        } else {
            sum = total;
        }
    }

private:
    // Pixels whose samples are laid out ahead, in the order lanes take them: a kernel lane
    // then takes a sample with three loads.
    static constexpr int kQueuedPixels = 64;

    // A lane keeps one sample for at most kMaxIterations steps, while every lane takes at
    // most one sample per step: no pixel is ever more than that many samples behind the
    // newest, so a ring of that many pixels never lets two unfinished pixels share a slot.
    static std::size_t RingSize(int samplesPerPixel)
    {
        const int pixelsInFlight = (kMaxKernelLanes * (kMaxIterations + 1)) / samplesPerPixel + 2;
        std::size_t size = 1;
        while (size < static_cast<std::size_t>(pixelsInFlight)) {
            size *= 2;
        }
        return size;
    }

    // The samples of the next pixels into the queue; how many.
    std::size_t QueueNextPixels()
    {
        const int n = m_band.subsamples;
        const std::vector<double>& sampleRe = *m_band.pSampleRe;
        const std::vector<double>& sampleIm = *m_band.pSampleIm;
        std::size_t queued = 0;
        for (int p = 0; p < kQueuedPixels && m_nextPixel < m_pixelCount; ++p, ++m_nextPixel) {
            for (int k = 0; k < n; ++k) {
                const double cIm = sampleIm[static_cast<std::size_t>(m_row * n + k)];
                for (int l = 0; l < n; ++l) {
                    m_queueRe[queued] = sampleRe[static_cast<std::size_t>(m_column * n + l)];
                    m_queueIm[queued] = cIm;
                    m_queuePixel[queued] = m_nextPixel;
                    ++queued;
                }
            }
            if (++m_column == m_band.width) {
                m_column = 0;
                ++m_row;
            }
        }
        return queued;
    }

    // The average of the pixel's samples: each channel's sum divided with truncation.
    void WritePixel(std::int64_t pixel, std::uint64_t sum) const
    {
        const std::int64_t row = pixel / m_band.width;
        const std::int64_t column = pixel - row * m_band.width;
        std::uint8_t* target = m_band.pFirstRow + static_cast<std::size_t>(row) * m_band.stride +
                               3 * static_cast<std::size_t>(column);
        const auto count = static_cast<std::uint64_t>(m_samplesPerPixel);
        target[0] = static_cast<std::uint8_t>((sum & 0xFFFF) / count);
        target[1] = static_cast<std::uint8_t>(((sum >> 16) & 0xFFFF) / count);
        target[2] = static_cast<std::uint8_t>(((sum >> 32) & 0xFFFF) / count);
    }

    const SampleBand& m_band;
    const int m_samplesPerPixel;
    const std::int64_t m_pixelCount;
    std::vector<std::uint64_t> m_ring;
    std::vector<double> m_queueRe;
    std::vector<double> m_queueIm;
    std::vector<std::int64_t> m_queuePixel;
    std::int64_t m_nextPixel = 0;
    int m_row = 0;
    int m_column = 0;
};
