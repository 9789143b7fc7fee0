#include "engine/iteration_kernel.h"

#include <cpuid.h>

#include <cstdint>
#include <cstdlib>

namespace {

struct CpuSupport {
    bool bSse2 = false;
    bool bAvx2 = false;
    bool bAvx512 = false;
};

// The registers the operating system saves on a thread switch (XCR0): a processor's wide
// registers are only usable when the system keeps them.
std::uint64_t SavedRegisterState()
{
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

CpuSupport DetectSupport()
{
    CpuSupport support;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return support;
    }
    support.bSse2 = (edx & bit_SSE2) != 0;
    const bool bAvx = (ecx & bit_AVX) != 0;
    const bool bOsSaves = (ecx & bit_OSXSAVE) != 0;
    if (!bAvx || !bOsSaves) {
        return support;
    }
    const std::uint64_t saved = SavedRegisterState();
    constexpr std::uint64_t kSseAvxState = 0x6;   // XMM and YMM halves
    constexpr std::uint64_t kAvx512State = 0xE6;  // and the opmask and ZMM registers
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) {
        return support;
    }
    support.bAvx2 = (ebx & bit_AVX2) != 0 && (saved & kSseAvxState) == kSseAvxState;
    support.bAvx512 = (ebx & bit_AVX512F) != 0 && (saved & kAvx512State) == kAvx512State;
    return support;
}

const CpuSupport& Support()
{
    static const CpuSupport support = DetectSupport();
    return support;
}

struct ActiveChoice {
    const IterationKernel* pKernel = nullptr;
    std::string error;
};

const ActiveChoice& Active()
{
    static const ActiveChoice choice = [] {
        ActiveChoice made;
        const char* request = std::getenv("ORVANE_KERNEL");
        made.pKernel = ChooseKernel(request != nullptr ? request : "", made.error);
        return made;
    }();
    return choice;
}

}  // namespace

bool KernelRuns(const IterationKernel& kernel)
{
    if (kernel.iterate == IterateBandSse2) {
        return Support().bSse2;
    }
    if (kernel.iterate == IterateBandAvx2) {
        return Support().bAvx2;
    }
    if (kernel.iterate == IterateBandAvx512) {
        return Support().bAvx512;
    }
    return true;
}

const IterationKernel* ChooseKernel(const std::string& request, std::string& error)
{
    if (request.empty()) {
        const IterationKernel* widest = &kIterationKernels[0];
        for (const IterationKernel& kernel : kIterationKernels) {
            if (KernelRuns(kernel)) {
                widest = &kernel;
            }
        }
        return widest;
    }
    for (const IterationKernel& kernel : kIterationKernels) {
        if (request != kernel.name) {
            continue;
        }
        if (!KernelRuns(kernel)) {
            error = "ORVANE_KERNEL=" + request +
                    ": this processor or operating system does not support that kernel";
            return nullptr;
        }
        return &kernel;
    }
    error = "ORVANE_KERNEL=" + request + ": no such kernel (scalar|sse2|avx2|avx512)";
    return nullptr;
}

const IterationKernel* ActiveKernel() { return Active().pKernel; }

const std::string& KernelChoiceError() { return Active().error; }
