// The iteration loop every kernel shares, written once over a lane type that says how the
// instruction set holds and compares its doubles. Each kernel file includes this after
// switching its target on, so the loop is compiled for that instruction set alone.
//
// The lane type gives: Vector, Mask (a flag per lane), kWidth (doubles per Vector),
// kRegisters (Vectors iterated side by side, enough to hide the latency of one step's chain
// of operations), Load(const double*), StoreIndices(std::uint16_t*, Vector) (whole numbers
// below 2^16), Splat(double), Abs(Vector), All() (every lane), Staying(alive, value, limit)
// -> the alive lanes whose value does not lie above limit, Counted(count, lanes, one) ->
// count plus one in those lanes, None(Mask) -> bool, Select(lanes, a, b) -> a in those
// lanes, b in the others, and kTestsBeforeStep (see IterateLanes).
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/iteration_kernel.h"
#include "engine/sample_stream.h"

// What every step needs besides a register's own state. An aggregate: an implicit constructor
// would be compiled without the kernel's instruction set.
template <class Lanes>
struct StepConstants {
    typename Lanes::Vector limit;
    typename Lanes::Vector two;
    typename Lanes::Vector one;
};

template <class Lanes>
[[gnu::always_inline]] inline StepConstants<Lanes> MakeStepConstants()
{
    return {Lanes::Splat(kEscapeLimit), Lanes::Splat(2.0), Lanes::Splat(1.0)};
}

// One step of one register's lanes: y ← |y|, x' = (x·x − y·y) + cRe, y' = 2·(y·x) + cIm; the
// lanes still alive stay so while x'² + y'² ≤ 10 and count the step. x² − y² of the previous
// step is all the next x needs; |y|² equals y², so the squares the escape test computed serve
// again and no bit changes.
template <class Lanes>
[[gnu::always_inline]] inline void Step(typename Lanes::Vector& x, typename Lanes::Vector& y,
                                        typename Lanes::Vector& squares,
                                        typename Lanes::Vector& count, typename Lanes::Mask& alive,
                                        typename Lanes::Vector cRe, typename Lanes::Vector cIm,
                                        const StepConstants<Lanes>& constants)
{
    using Vector = typename Lanes::Vector;
    const Vector xy = Lanes::Abs(y) * x;
    const Vector nextY = constants.two * xy + cIm;
    const Vector nextX = squares + cRe;
    const Vector xx = nextX * nextX;
    const Vector yy = nextY * nextY;
    alive = Lanes::Staying(alive, xx + yy, constants.limit);
    count = Lanes::Counted(count, alive, constants.one);
    squares = xx - yy;
    x = nextX;
    y = nextY;
}

// Iterates the stream's samples until it runs dry (true) or the band's flag says stop (false).
// Every lane does exactly the plain double steps of one sample: y ← |y|,
// x' = (x·x − y·y) + cRe, y' = 2·(y·x) + cIm, escaped when x'² + y'² > 10; index = step − 1,
// or 0 when the sample never escapes.
//
// Each register iterates a group of neighbouring samples until the last of them is done, then
// takes the next group. An escaped lane runs on with its results ignored: neighbours escape
// within a few steps of each other (in groups of eight, the steps so wasted measured 2.5 % of
// all at the deep view and 9 % at home view 0), while handing each lane its own next sample
// the moment it escaped took a third to two thirds of the kernel's time in bookkeeping.
template <class Lanes>
[[gnu::always_inline]] inline bool IterateLanes(SampleStream& stream)
{
    using Vector = typename Lanes::Vector;
    using Mask = typename Lanes::Mask;
    constexpr int kWidth = Lanes::kWidth;
    constexpr int kRegisters = Lanes::kRegisters;
    static_assert(kWidth * kRegisters <= kMaxKernelLanes && kWidth <= kMaxGroupWidth);
    constexpr std::int64_t kNever = INT64_MAX;

    if (!stream.MayGo()) {
        return false;
    }
    SampleStream::Cursor cursor = stream.Open(kWidth);
    // The loops over the registers are unrolled so that these arrays live in registers.
    Vector x[kRegisters], y[kRegisters], squares[kRegisters], cRe[kRegisters], cIm[kRegisters];
    Vector count[kRegisters];        // steps each lane's sample has taken without escaping
    Mask alive[kRegisters];          // lanes whose sample has not escaped
    std::int64_t group[kRegisters];  // ticket of the register's group; kNever without one
    std::int64_t start[kRegisters];  // the step before the group's first
    int busy = 0;                    // registers with a group
    // No group runs out of steps before this step.
    std::int64_t deadline = kNever;

    // Register r takes the band's next group after `step`; with none left it iterates c = 0,
    // which never escapes, until the other registers are done.
    const auto take = [&](int r, std::int64_t step) __attribute__((always_inline)) {
        group[r] = kNever;
        if (SampleStream::Drained(cursor) && !SampleStream::Exhausted(cursor)) {
            std::int64_t oldest = cursor.nextTicket;
#pragma GCC unroll 8
            for (int other = 0; other < kRegisters; ++other) {
                oldest = group[other] < oldest ? group[other] : oldest;
            }
            stream.Refill(cursor, oldest);  // may end the band: a helper took the rest
        }
        if (SampleStream::Exhausted(cursor)) {
            cRe[r] = cIm[r] = Lanes::Splat(0.0);
        } else {
            const double* pRe = nullptr;
            const double* pIm = nullptr;
            group[r] = SampleStream::Take<kWidth>(cursor, pRe, pIm);
            cRe[r] = Lanes::Load(pRe);
            cIm[r] = Lanes::Load(pIm);
            start[r] = step;
            deadline = step + kMaxIterations < deadline ? step + kMaxIterations : deadline;
            ++busy;
        }
        x[r] = y[r] = squares[r] = count[r] = Lanes::Splat(0.0);
        alive[r] = Lanes::All();
    };
    // Hands in register r's group: a sample that escaped at step s took s − 1 steps
    // without escaping, its index; one that never escaped has index 0.
    const auto hand = [&](int r) __attribute__((always_inline)) {
        if (group[r] == kNever) {
            return;
        }
        Lanes::StoreIndices(SampleStream::Slots(cursor, group[r]),
                            Lanes::Select(alive[r], Lanes::Splat(0.0), count[r]));
        --busy;
    };

    // Every lane of register r has escaped: its group handed in, the next taken after `step`.
    const auto handOverIfDone = [&](int r, std::int64_t step) __attribute__((always_inline)) {
        if (Lanes::None(alive[r])) [[unlikely]] {
            hand(r);
            take(r, step);
        }
    };

#pragma GCC unroll 8
    for (int r = 0; r < kRegisters; ++r) {
        group[r] = kNever;
    }
#pragma GCC unroll 8
    for (int r = 0; r < kRegisters; ++r) {
        take(r, 0);
    }
    if (busy == 0) {
        stream.Finish();
        return true;
    }
    const StepConstants<Lanes> constants = MakeStepConstants<Lanes>();
    for (std::int64_t step = 1;; ++step) {
#pragma GCC unroll 8
        for (int r = 0; r < kRegisters; ++r) {
            // Every lane of the register has escaped: its next group. A branch of its own per
            // register, taken about once a group, costs less than collecting them. Taken, it
            // was mispredicted, and what the processor began past it is lost. Tested before
            // the step, on the lanes of the step before, it is decided sooner and loses less,
            // for one step more of the group: SSE2 and AVX2 run 3-6 % faster so. AVX-512
            // tests after the step: tested before, its compiled loop moves its masks through
            // memory (0.75 of its bare loop at the deep view, against 0.86).
            if constexpr (Lanes::kTestsBeforeStep) {
                handOverIfDone(r, step - 1);
            }
            Step<Lanes>(x[r], y[r], squares[r], count[r], alive[r], cRe[r], cIm[r], constants);
            if constexpr (!Lanes::kTestsBeforeStep) {
                handOverIfDone(r, step);
            }
        }
        if (step < deadline) [[likely]] {
            if (busy != 0) {
                continue;
            }
        } else {
            deadline = kNever;
#pragma GCC unroll 8
            for (int r = 0; r < kRegisters; ++r) {
                if (group[r] == kNever) {
                    continue;
                }
                if (step - start[r] >= kMaxIterations) {
                    hand(r);
                    take(r, step);
                } else if (start[r] + kMaxIterations < deadline) {
                    deadline = start[r] + kMaxIterations;
                }
            }
        }
        // The flag is read at least once every kMaxIterations steps.
        if (!stream.MayGo()) {
            return false;
        }
        if (busy == 0) {
            stream.Finish();
            return true;
        }
    }
}

// The most a kernel's loop can do on this machine: Step on its registers side by side for
// `steps` steps, on points that never escape, and nothing else (no groups taken or handed in,
// no stop check). Returns the steps every lane counted, so that none is left out.
template <class Lanes>
[[gnu::always_inline]] inline std::int64_t StepBare(const BareStepJob& job)
{
    using Vector = typename Lanes::Vector;
    using Mask = typename Lanes::Mask;
    constexpr int kRegisters = Lanes::kRegisters;
    Vector x[kRegisters], y[kRegisters], squares[kRegisters], cRe[kRegisters], cIm[kRegisters];
    Vector count[kRegisters];
    Mask alive[kRegisters];
#pragma GCC unroll 8
    for (int r = 0; r < kRegisters; ++r) {
        cRe[r] = Lanes::Load(job.pRe + r * Lanes::kWidth);
        cIm[r] = Lanes::Load(job.pIm + r * Lanes::kWidth);
        x[r] = y[r] = squares[r] = count[r] = Lanes::Splat(0.0);
        alive[r] = Lanes::All();
    }
    const StepConstants<Lanes> constants = MakeStepConstants<Lanes>();
    for (std::int64_t step = 0; step < job.steps; ++step) {
#pragma GCC unroll 8
        for (int r = 0; r < kRegisters; ++r) {
            Step<Lanes>(x[r], y[r], squares[r], count[r], alive[r], cRe[r], cIm[r], constants);
        }
    }
    double counted = 0.0;
#pragma GCC unroll 8
    for (int r = 0; r < kRegisters; ++r) {
        double lanes[Lanes::kWidth];
        std::memcpy(lanes, &count[r], sizeof lanes);
        for (const double lane : lanes) {
            counted += lane;
        }
    }
    return static_cast<std::int64_t>(counted);
}
