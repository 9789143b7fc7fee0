// The plain kernel: one double at a time, for processors without SSE2 and as the measure
// the wide kernels are compared with.

#include "engine/iteration_kernel.h"
#include "engine/lane_loop.h"

namespace {

struct ScalarLanes {
    using Mask = bool;
    using Vector = double;
    static constexpr int kWidth = 1;
    static constexpr int kRegisters = 1;
    static Vector Load(const double* p) { return *p; }
    static Vector Splat(double value) { return value; }
    // The builtin: 32-bit MinGW's <cmath> takes fabs through the x87 unit and memory.
    static Vector Abs(Vector value) { return __builtin_fabs(value); }
    static Mask Above(Vector value, Vector limit) { return value > limit; }
    static Mask Either(Mask a, Mask b) { return a || b; }
    static unsigned Bits(Mask mask) { return mask ? 1u : 0u; }
    static Vector Cleared(Vector, unsigned) { return 0.0; }
    static Vector WithLane(Vector, int, double value) { return value; }
};

}  // namespace

bool IterateBandScalar(SampleStream& stream) { return IterateLanes<ScalarLanes>(stream); }
