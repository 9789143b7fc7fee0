// The SSSE3 row enlarging: a byte shuffle gathers four frame pixels from 16 source bytes.
#include <tmmintrin.h>

#include "engine/row_enlarging.h"

#pragma GCC target("ssse3")

void EnlargeRowSsse3(const std::uint8_t* pSource, const int* offsets,
                     const std::array<std::uint8_t, 16>* shuffles, std::size_t count,
                     std::uint8_t* pTarget)
{
    for (std::size_t d = 0; d + 4 <= count; d += 4, pTarget += 12, ++shuffles) {
        const __m128i window =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSource + offsets[d]));
        const __m128i order =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffles->data()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pTarget), _mm_shuffle_epi8(window, order));
    }
}
