// The plain kernel: one double at a time, for processors without SSE2 and as the measure
// the wide kernels are compared with.

#include <cstdint>

#include "engine/iteration_kernel.h"
#include "engine/lane_loop.h"

namespace {

struct ScalarLanes {
    using Mask = bool;
    using Vector = double;
    static constexpr int kWidth = 1;
    static constexpr int kRegisters = 1;
    static constexpr bool kTestsBeforeStep = false;
    static Vector Load(const double* p) { return *p; }
    static void StoreIndices(std::uint16_t* p, Vector indices)
    {
        *p = static_cast<std::uint16_t>(indices);
    }
    static Vector Splat(double value) { return value; }
    // The builtin: 32-bit MinGW's <cmath> takes fabs through the x87 unit and memory.
    static Vector Abs(Vector value) { return __builtin_fabs(value); }
    static Mask All() { return true; }
    static Mask Staying(Mask alive, Vector value, Vector limit) { return alive && value <= limit; }
    static Vector Counted(Vector count, Mask lanes, Vector one)
    {
        return lanes ? count + one : count;
    }
    static bool None(Mask lanes) { return !lanes; }
    static Vector Select(Mask lanes, Vector a, Vector b) { return lanes ? a : b; }
};

}  // namespace

bool IterateBandScalar(SampleStream& stream) { return IterateLanes<ScalarLanes>(stream); }

std::int64_t StepBareScalar(const BareStepJob& job) { return StepBare<ScalarLanes>(job); }
