// The AVX-512 kernel: eight doubles per register, lanes picked by mask registers.
#include <immintrin.h>

#include "engine/iteration_kernel.h"

// Only what follows, the shared loop included, is compiled for AVX-512 (fused multiply-add stays
// off): the headers above stay baseline code that every processor runs.
#pragma GCC target("avx512f")

#include "engine/lane_loop.h"

namespace {

struct Avx512Lanes {
    using Mask = __mmask8;
    using Vector = __m512d;
    static constexpr int kWidth = 8;
    // State in 30 of the 32 registers; 6 side by side measured faster than 4, 5, 7 or 8.
    static constexpr int kRegisters = 6;
    static Vector Load(const double* p) { return _mm512_loadu_pd(p); }
    static Vector Splat(double value) { return _mm512_set1_pd(value); }
    static Vector Abs(Vector value) { return _mm512_abs_pd(value); }
    static Mask Above(Vector value, Vector limit)
    {
        return _mm512_cmp_pd_mask(value, limit, _CMP_GT_OQ);
    }
    static Mask Either(Mask a, Mask b) { return static_cast<__mmask8>(a | b); }
    static unsigned Bits(Mask mask) { return mask; }
    static Vector Cleared(Vector value, unsigned bits)
    {
        return _mm512_maskz_mov_pd(static_cast<__mmask8>(~bits), value);
    }
    static Vector WithLane(Vector vector, int lane, double value)
    {
        return _mm512_mask_broadcastsd_pd(vector, static_cast<__mmask8>(1u << lane),
                                          _mm_set_sd(value));
    }
};

}  // namespace

bool IterateBandAvx512(SampleStream& stream) { return IterateLanes<Avx512Lanes>(stream); }
