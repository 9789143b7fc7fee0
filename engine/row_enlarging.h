// Enlarging one picture row by nearest neighbour, as every film frame does for each source
// row it shows: frame pixel d shows the source pixel at byte offset offsets[d]. Planned once
// per frame and applied to each row; with SSSE3, four frame pixels are gathered by one byte
// shuffle instead of four copies.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class RowEnlarging {
public:
    // Bytes a source row must have readable past its last pixel, and a target row past its
    // last pixel's bytes.
    static constexpr std::size_t kSourceSlack = 16;
    static constexpr std::size_t kTargetSlack = 16;

    // offsets: 3 · the source column of each frame pixel.
    explicit RowEnlarging(std::vector<int> offsets);

    void Enlarge(const std::uint8_t* pSource, std::uint8_t* pTarget) const;

private:
    std::vector<int> m_offsets;
    // Per group of four frame pixels, the bytes each of its 12 takes from the 16 read at the
    // group's first offset; empty without SSSE3.
    std::vector<std::array<std::uint8_t, 16>> m_shuffles;
};

// The SSSE3 half of Enlarge: count frame pixels, four at a time while whole groups remain.
void EnlargeRowSsse3(const std::uint8_t* pSource, const int* offsets,
                     const std::array<std::uint8_t, 16>* shuffles, std::size_t count,
                     std::uint8_t* pTarget);
