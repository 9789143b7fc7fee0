// The iteration kernels, one per instruction set, and the one place that chooses among them:
// once, from what the processor and the operating system support, unless ORVANE_KERNEL
// names one.
#pragma once

#include <string>

#include "engine/sample_stream.h"

// Iterates every sample of the stream into its pixel; false when the band's flag stopped it.
using IterateBandProc = bool (*)(SampleStream& stream);

bool IterateBandScalar(SampleStream& stream);
bool IterateBandSse2(SampleStream& stream);
bool IterateBandAvx2(SampleStream& stream);
bool IterateBandAvx512(SampleStream& stream);

struct IterationKernel {
    const char* name;  // as ORVANE_KERNEL takes it
    IterateBandProc iterate;
};

// Every kernel this program has, plainest first.
inline constexpr IterationKernel kIterationKernels[] = {
    {"scalar", IterateBandScalar},
    {"sse2", IterateBandSse2},
    {"avx2", IterateBandAvx2},
    {"avx512", IterateBandAvx512},
};

// Whether this processor and its operating system can run the kernel.
bool KernelRuns(const IterationKernel& kernel);

// The kernel `request` names (empty: the widest that runs here), or null with `error` saying
// why the request cannot be met.
const IterationKernel* ChooseKernel(const std::string& request, std::string& error);

// The kernel renders use: ORVANE_KERNEL's choice, made on the first call. Null when the
// variable asks for what cannot run here; KernelChoiceError() then says why.
const IterationKernel* ActiveKernel();
const std::string& KernelChoiceError();
