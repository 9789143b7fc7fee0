#include "engine/iteration_kernel.h"

#include <cstdlib>

#include "platform/cpu_features.h"

namespace {

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
    const platform::CpuFeatures& features = platform::ProcessorFeatures();
    if (kernel.iterate == IterateBandSse2) {
        return features.bSse2;
    }
    if (kernel.iterate == IterateBandAvx2) {
        return features.bAvx2;
    }
    if (kernel.iterate == IterateBandAvx512) {
        return features.bAvx512;
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
