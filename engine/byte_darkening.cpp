#include "engine/byte_darkening.h"

#include <algorithm>

#include <emmintrin.h>

namespace {

constexpr int kFractionBits = 24;
constexpr std::int64_t kOne = std::int64_t{1} << kFractionBits;

// Eight 16-bit bytes times a multiplier of at most 2^24, shifted right by 24: v · high fits
// 16 bits, and (v · m) >> 16 = v · high + ((v · low) >> 16) exactly.
inline __m128i ScaleEight(__m128i values, __m128i high, __m128i low)
{
    const __m128i product =
        _mm_add_epi16(_mm_mullo_epi16(values, high), _mm_mulhi_epu16(values, low));
    return _mm_srli_epi16(product, kFractionBits - 16);
}

}  // namespace

ByteDarkening::ByteDarkening(double keep)
{
    for (int value = 0; value < 256; ++value) {
        m_darkened[value] = static_cast<std::uint8_t>(value * keep);
    }
    // The multipliers m with (v · m) >> 24 = m_darkened[v] for every v form one range; the
    // table decides, so the double product's rounding is taken as it is.
    std::int64_t lowest = 0;
    std::int64_t highest = kOne;  // keeping all: the first frame of every film
    for (std::int64_t value = 1; value < 256; ++value) {
        const std::int64_t darkened = m_darkened[value];
        lowest = std::max(lowest, (darkened * kOne + value - 1) / value);
        highest = std::min(highest, ((darkened + 1) * kOne + value - 1) / value - 1);
    }
    m_bByMultiplier = lowest <= highest;
    m_multiplier = static_cast<std::uint32_t>(lowest);
}

void ByteDarkening::Darken(const std::uint8_t* pSource, std::uint8_t* pTarget,
                           std::size_t count) const
{
    std::size_t i = 0;
    if (m_bByMultiplier) {
        const __m128i high = _mm_set1_epi16(static_cast<short>(m_multiplier >> 16));
        const __m128i low = _mm_set1_epi16(static_cast<short>(m_multiplier & 0xFFFF));
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= count; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSource + i));
            const __m128i darkened =
                _mm_packus_epi16(ScaleEight(_mm_unpacklo_epi8(bytes, zero), high, low),
                                 ScaleEight(_mm_unpackhi_epi8(bytes, zero), high, low));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pTarget + i), darkened);
        }
    }
    for (; i < count; ++i) {
        pTarget[i] = m_darkened[pSource[i]];
    }
}
