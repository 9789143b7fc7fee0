// Darkening picture bytes by a factor: each byte v becomes the double product v · keep
// truncated, as the film's fade defines it, sixteen bytes at a time where an integer
// multiplier gives exactly those bytes.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteDarkening {
public:
    // keep in [0, 1]: the share of each byte that stays.
    explicit ByteDarkening(double keep);

    void Darken(const std::uint8_t* pSource, std::uint8_t* pTarget, std::size_t count) const;

private:
    std::uint8_t m_darkened[256];
    // v · keep truncated equals (v · m_multiplier) >> 24 for every byte, when m_bByMultiplier.
    std::uint32_t m_multiplier = 0;
    bool m_bByMultiplier = false;
};
