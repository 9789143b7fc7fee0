// The iteration kernels, one per instruction set, and the one place that chooses among them:
// once, from what the processor and the operating system support, unless ORVANE_KERNEL
// names one.
#pragma once

#include <cstdint>
#include <string>

#include "engine/sample_stream.h"

// Iterates every sample of the stream into its pixel; false when the band's flag stopped it.
using IterateBandProc = bool (*)(SampleStream& stream);

// The bare loop of a kernel, its speed limit: its step on all its registers, for `steps` steps
// of points that never escape, and nothing else. Lane l of the kernel iterates
// c = (pRe[l], pIm[l]); the points differ, so that no compiler can merge registers. Returns the
// lane-steps counted, steps × the lanes side by side.
struct BareStepJob {
    const double* pRe = nullptr;  // kMaxKernelLanes of them
    const double* pIm = nullptr;
    std::int64_t steps = 0;
};
using StepBareProc = std::int64_t (*)(const BareStepJob& job);

bool IterateBandScalar(SampleStream& stream);
bool IterateBandSse2(SampleStream& stream);
bool IterateBandAvx2(SampleStream& stream);
bool IterateBandAvx512(SampleStream& stream);
std::int64_t StepBareScalar(const BareStepJob& job);
std::int64_t StepBareSse2(const BareStepJob& job);
std::int64_t StepBareAvx2(const BareStepJob& job);
std::int64_t StepBareAvx512(const BareStepJob& job);

struct IterationKernel {
    const char* name;  // as ORVANE_KERNEL takes it
    IterateBandProc iterate;
    StepBareProc stepBare;
};

// Every kernel this program has, plainest first.
inline constexpr IterationKernel kIterationKernels[] = {
    {"scalar", IterateBandScalar, StepBareScalar},
    {"sse2", IterateBandSse2, StepBareSse2},
    {"avx2", IterateBandAvx2, StepBareAvx2},
    {"avx512", IterateBandAvx512, StepBareAvx512},
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
