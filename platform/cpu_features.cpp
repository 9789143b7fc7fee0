#include "platform/cpu_features.h"

#include <cpuid.h>

#include <cstdint>

namespace platform {

namespace {

// The registers the operating system saves on a thread switch (XCR0).
std::uint64_t SavedRegisterState()
{
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

CpuFeatures Probe()
{
    CpuFeatures features;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return features;
    }
    features.bSse2 = (edx & bit_SSE2) != 0;
    features.bSsse3 = (ecx & bit_SSSE3) != 0;
    const bool bAvx = (ecx & bit_AVX) != 0;
    const bool bOsSaves = (ecx & bit_OSXSAVE) != 0;
    if (!bAvx || !bOsSaves) {
        return features;
    }
    const std::uint64_t saved = SavedRegisterState();
    constexpr std::uint64_t kSseAvxState = 0x6;   // XMM and YMM halves
    constexpr std::uint64_t kAvx512State = 0xE6;  // and the opmask and ZMM registers
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) {
        return features;
    }
    features.bAvx2 = (ebx & bit_AVX2) != 0 && (saved & kSseAvxState) == kSseAvxState;
    features.bAvx512 = (ebx & bit_AVX512F) != 0 && (saved & kAvx512State) == kAvx512State;
    return features;
}

}  // namespace

const CpuFeatures& ProcessorFeatures()
{
    static const CpuFeatures features = Probe();
    return features;
}

}  // namespace platform
