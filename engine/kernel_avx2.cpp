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
    // Registers side by side, most of their state on the stack (16 registers on x86-64, 8 on
    // 32-bit x86). Of 2 to 12, six measured fastest on x86-64 (the Windows program 1.1 times
    // as fast as with eight) and eight on 32-bit x86 (1.07 times six).
#if defined(__x86_64__)
    static constexpr int kRegisters = 6;
#else
    static constexpr int kRegisters = 8;
#endif
    // Faster so on x86-64; 32-bit x86, where it could not be timed, keeps the test after.
    static constexpr bool kTestsBeforeStep = sizeof(void*) == 8;
    static Vector Load(const double* p) { return _mm256_loadu_pd(p); }
    static void StoreIndices(std::uint16_t* p, Vector indices)
    {
        const __m128i words = _mm_packus_epi32(_mm256_cvttpd_epi32(indices), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), words);
    }
    static Vector Splat(double value) { return _mm256_set1_pd(value); }
    static Vector Abs(Vector value) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), value); }
    static Mask All() { return _mm256_castsi256_pd(_mm256_set1_epi32(-1)); }
    static Mask Staying(Mask alive, Vector value, Vector limit)
    {
        return _mm256_and_pd(alive, _mm256_cmp_pd(value, limit, _CMP_LE_OQ));
    }
    static Vector Counted(Vector count, Mask lanes, Vector one)
    {
        return count + _mm256_and_pd(lanes, one);
    }
    static bool None(Mask lanes) { return _mm256_movemask_pd(lanes) == 0; }
    static Vector Select(Mask lanes, Vector a, Vector b) { return _mm256_blendv_pd(b, a, lanes); }
};

}  // namespace

bool IterateBandAvx2(SampleStream& stream) { return IterateLanes<Avx2Lanes>(stream); }

std::int64_t StepBareAvx2(const BareStepJob& job) { return StepBare<Avx2Lanes>(job); }
