// The SSE2 kernel: two doubles per register, the baseline of every x86-64 processor and what
// the 32-bit Windows program can always use.
#include <emmintrin.h>

#include <cstdint>

#include "engine/iteration_kernel.h"
#include "engine/lane_loop.h"

namespace {

struct Sse2Lanes {
    using Mask = __m128d;
    using Vector = __m128d;
    static constexpr int kWidth = 2;
    // Registers side by side, to hide a step's latency. Their x, y, x² − y² and c fill more
    // than x86-64's 16 registers, and far more than 32-bit x86's 8; what does not fit lives
    // on the stack. Measured fastest at the deep view: eight on x86-64 (1.1 times four), ten
    // on 32-bit x86 (1.2 times four).
#if defined(__x86_64__)
    static constexpr int kRegisters = 8;
#else
    static constexpr int kRegisters = 10;
#endif
    static Vector Load(const double* p) { return _mm_loadu_pd(p); }
    static Vector Splat(double value) { return _mm_set1_pd(value); }
    static Vector Abs(Vector value) { return _mm_andnot_pd(_mm_set1_pd(-0.0), value); }
    static Mask Above(Vector value, Vector limit) { return _mm_cmpgt_pd(value, limit); }
    static Mask Either(Mask a, Mask b) { return _mm_or_pd(a, b); }
    static unsigned Bits(Mask mask) { return static_cast<unsigned>(_mm_movemask_pd(mask)); }
    static Vector Cleared(Vector value, unsigned bits)
    {
        return _mm_andnot_pd(LaneMask(bits), value);
    }
    static Vector WithLane(Vector vector, int lane, double value)
    {
        const __m128d mask = LaneMask(1u << lane);
        return _mm_or_pd(_mm_and_pd(mask, _mm_set1_pd(value)), _mm_andnot_pd(mask, vector));
    }

private:
    // The lanes of a pattern, a bit each, as a mask: read from a table, since 32-bit x86
    // would build it through memory anyway.
    static __m128d LaneMask(unsigned bits)
    {
        alignas(16) static constexpr std::int64_t kMasks[4][2] = {
            {0, 0}, {-1, 0}, {0, -1}, {-1, -1}};
        return _mm_load_pd(reinterpret_cast<const double*>(kMasks[bits]));
    }
};

}  // namespace

bool IterateBandSse2(SampleStream& stream) { return IterateLanes<Sse2Lanes>(stream); }
