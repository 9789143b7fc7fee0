// The AVX2 kernel: four doubles per register.
#include <immintrin.h>

#include "engine/iteration_kernel.h"

// Only what follows, the shared loop included, is compiled for AVX2 (fused multiply-add stays
// off): the headers above stay baseline code that every processor runs.
#pragma GCC target("avx2")

#include "engine/lane_loop.h"

namespace {

struct Avx2Lanes {
    using Mask = __m256d;
    using Vector = __m256d;
    static constexpr int kWidth = 4;
    // Registers side by side. On x86-64, c of some is read from the stack (20 > 16
    // registers); 32-bit x86 has 8 registers, and there eight side by side measured 1.2 times
    // as fast as four despite the spills.
#if defined(__x86_64__)
    static constexpr int kRegisters = 4;
#else
    static constexpr int kRegisters = 8;
#endif
    static Vector Load(const double* p) { return _mm256_loadu_pd(p); }
    static Vector Splat(double value) { return _mm256_set1_pd(value); }
    static Vector Abs(Vector value) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), value); }
    static Mask Above(Vector value, Vector limit)
    {
        return _mm256_cmp_pd(value, limit, _CMP_GT_OQ);
    }
    static Mask Either(Mask a, Mask b) { return _mm256_or_pd(a, b); }
    static unsigned Bits(Mask mask) { return static_cast<unsigned>(_mm256_movemask_pd(mask)); }
    static Vector Cleared(Vector value, unsigned bits)
    {
        const __m256i lanes = _mm256_set_epi64x(
            -static_cast<long long>((bits >> 3) & 1), -static_cast<long long>((bits >> 2) & 1),
            -static_cast<long long>((bits >> 1) & 1), -static_cast<long long>(bits & 1));
        return _mm256_andnot_pd(_mm256_castsi256_pd(lanes), value);
    }
    static Vector WithLane(Vector vector, int lane, double value)
    {
        const __m256i lanes = _mm256_setr_epi64x(0, 1, 2, 3);
        const __m256i mask = _mm256_cmpeq_epi64(lanes, _mm256_set1_epi64x(lane));
        return _mm256_blendv_pd(vector, _mm256_set1_pd(value), _mm256_castsi256_pd(mask));
    }
};

}  // namespace

bool IterateBandAvx2(SampleStream& stream) { return IterateLanes<Avx2Lanes>(stream); }
