// The SSE2 kernel: two doubles per register, the baseline of every x86-64 processor and what
// the 32-bit Windows program can always use.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "engine/iteration_kernel.h"
#include "engine/lane_loop.h"

namespace {

struct Sse2Lanes {
    using Mask = __m128d;
    using Vector = __m128d;
    static constexpr int kWidth = 2;
    // Registers side by side: their x, y, x² − y², c, count and mask fill more than x86-64's
    // 16 registers, and far more than 32-bit x86's 8; what does not fit lives on the stack.
    // Eight measured fastest on both, at both views.
    static constexpr int kRegisters = 8;
    // Faster so on x86-64; 32-bit x86, where it could not be timed, keeps the test after.
    static constexpr bool kTestsBeforeStep = sizeof(void*) == 8;
    static Vector Load(const double* p) { return _mm_loadu_pd(p); }
    static void StoreIndices(std::uint16_t* p, Vector indices)
    {
        // Below 2^15, so the signed pack keeps them.
        const __m128i words = _mm_packs_epi32(_mm_cvttpd_epi32(indices), _mm_setzero_si128());
        const int pair = _mm_cvtsi128_si32(words);
        std::memcpy(p, &pair, sizeof pair);
    }
    static Vector Splat(double value) { return _mm_set1_pd(value); }
    static Vector Abs(Vector value) { return _mm_andnot_pd(_mm_set1_pd(-0.0), value); }
    static Mask All() { return _mm_castsi128_pd(_mm_set1_epi32(-1)); }
    static Mask Staying(Mask alive, Vector value, Vector limit)
    {
        return _mm_and_pd(alive, _mm_cmple_pd(value, limit));
    }
    static Vector Counted(Vector count, Mask lanes, Vector one)
    {
        return count + _mm_and_pd(lanes, one);
    }
    static bool None(Mask lanes) { return _mm_movemask_pd(lanes) == 0; }
    static Vector Select(Mask lanes, Vector a, Vector b)
    {
        return _mm_or_pd(_mm_and_pd(lanes, a), _mm_andnot_pd(lanes, b));
    }
};

}  // namespace

bool IterateBandSse2(SampleStream& stream) { return IterateLanes<Sse2Lanes>(stream); }

std::int64_t StepBareSse2(const BareStepJob& job) { return StepBare<Sse2Lanes>(job); }
