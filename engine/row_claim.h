// The rows of a band that its worker has not begun, which a processor left idle at the end of
// a render may take over. The worker claims its rows one at a time from the band's first; a
// helper takes the upper half of those still unclaimed, and the worker stops below them. One
// word holds both counts, so that each side's step is one compare-and-swap and a row is never
// computed twice or lost.
#pragma once

#include <atomic>
#include <cstdint>

class RowClaim {
public:
    // A band whose rows are all its worker's, none claimed yet.
    void Reset() { m_word = 0; }

    // A worker begins the band (again): none of its rows claimed, those given away kept.
    void Restart() { m_word.fetch_and(~std::uint64_t{0xFFFFFFFF}); }

    // The worker's next row: true, now claimed, unless it was given away.
    bool ClaimNext(int rows)
    {
        std::uint64_t word = m_word.load();
        do {
            if (Claimed(word) >= rows - GivenAway(word)) {
                return false;
            }
        } while (!m_word.compare_exchange_weak(word, word + 1));
        return true;
    }

    // Rows not claimed yet of a band of `rows` rows.
    int Unclaimed(int rows) const
    {
        const std::uint64_t word = m_word.load();
        return rows - GivenAway(word) - Claimed(word);
    }

    struct Rows {
        int first = 0;  // of the band, from 0
        int end = 0;
    };
    // Takes the upper half (rounded down) of the unclaimed rows for a helper: the highest rows
    // not given away before; none (first == end) when fewer than two were unclaimed.
    Rows GiveAwayUpperHalf(int rows)
    {
        std::uint64_t word = m_word.load();
        int half = 0;
        do {
            half = (rows - GivenAway(word) - Claimed(word)) / 2;
            if (half <= 0) {
                return {};
            }
        } while (!m_word.compare_exchange_weak(word, word + (std::uint64_t(half) << 32)));
        const int end = rows - GivenAway(word);
        return {end - half, end};
    }

private:
    static int Claimed(std::uint64_t word) { return static_cast<int>(word & 0xFFFFFFFF); }
    static int GivenAway(std::uint64_t word) { return static_cast<int>(word >> 32); }

    std::atomic<std::uint64_t> m_word{0};
};
