// The iteration loop every kernel shares, written once over a lane type that says how the
// instruction set holds and compares its doubles. Each kernel file includes this after
// switching its target on, so the loop is compiled for that instruction set alone.
//
// The lane type gives: Vector, kWidth (doubles per Vector), kRegisters (Vectors iterated
// side by side, enough to hide the latency of one step's chain of operations), and
// Load(const double*), Splat(double), Abs(Vector), Above(Vector, Vector) -> Mask,
// Either(Mask, Mask), Bits(Mask) -> a bit per lane, Cleared(Vector, bits) -> the Vector
// with those lanes set to +0, and WithLane(Vector, lane, value).
#pragma once

#include <cstdint>
#include <type_traits>

#include "engine/sample_stream.h"

// Iterates the stream's samples until it runs dry (true) or the band's flag says stop (false).
// Every lane does exactly the plain double steps of one sample: y ← |y|,
// x' = (x·x − y·y) + cRe, y' = 2·(y·x) + cIm, escaped when x'² + y'² > 10; index = step − 1,
// or 0 when the sample never escapes. An escaped lane takes the next sample at once.
template <class Lanes>
[[gnu::always_inline]] inline bool IterateLanes(SampleStream& stream)
{
    using Vector = typename Lanes::Vector;
    constexpr int kWidth = Lanes::kWidth;
    constexpr int kRegisters = Lanes::kRegisters;
    constexpr int kLanes = kWidth * kRegisters;
    static_assert(kLanes <= kMaxKernelLanes);
    // A bit per lane, in one register of a 32-bit processor where the lanes fit.
    using LaneBits = std::conditional_t<(kLanes <= 32), std::uint32_t, std::uint64_t>;
    constexpr std::int64_t kNever = INT64_MAX;

    if (!stream.MayGo()) {
        return false;
    }
    // A lane without a sample iterates c = 0 and is never asked for a result.
    double firstRe[kLanes] = {};
    double firstIm[kLanes] = {};
    std::int64_t ticket[kLanes];
    std::int64_t start[kLanes];  // the step before the lane's sample took its first step
    SampleStream::Cursor cursor = stream.Open();
    int busy = 0;
    LaneBits idle = 0;  // lanes without a sample, a bit each
    for (int lane = 0; lane < kLanes; ++lane) {
        start[lane] = 0;
        ticket[lane] = -1;
        if (SampleStream::Drained(cursor)) {
            stream.Refill(cursor, 0);
        }
        if (SampleStream::Take(cursor, firstRe[lane], firstIm[lane], ticket[lane])) {
            ++busy;
        } else {
            idle |= LaneBits{1} << lane;
        }
    }
    // x² − y² of the previous step is all the next x needs; |y|² equals y², so the squares
    // the escape test computed serve again and no bit changes.
    // The loops over the registers are unrolled so that these arrays live in registers.
    // c stays in registers too: a lane's new c goes in by a masked move, never through
    // memory, which a wide load right after narrow stores would wait for.
    Vector x[kRegisters], y[kRegisters], squares[kRegisters], cRe[kRegisters], cIm[kRegisters];
#pragma GCC unroll 8
    for (int r = 0; r < kRegisters; ++r) {
        x[r] = y[r] = squares[r] = Lanes::Splat(0.0);
        cRe[r] = Lanes::Load(firstRe + r * kWidth);
        cIm[r] = Lanes::Load(firstIm + r * kWidth);
    }
    const Vector limit = Lanes::Splat(10.0);
    const Vector two = Lanes::Splat(2.0);
    // No lane runs out of steps before this step.
    std::int64_t deadline = kMaxIterations;

    if (busy == 0) {
        stream.Finish();
        return true;
    }
    for (std::int64_t step = 1;; ++step) {
        typename Lanes::Mask escapes[kRegisters];
#pragma GCC unroll 8
        for (int r = 0; r < kRegisters; ++r) {
            const Vector xy = Lanes::Abs(y[r]) * x[r];
            const Vector nextY = two * xy + cIm[r];
            const Vector nextX = squares[r] + cRe[r];
            const Vector xx = nextX * nextX;
            const Vector yy = nextY * nextY;
            escapes[r] = Lanes::Above(xx + yy, limit);
            squares[r] = xx - yy;
            x[r] = nextX;
            y[r] = nextY;
        }
        // One test for all registers while no lane is done, the common case.
        typename Lanes::Mask any = escapes[0];
#pragma GCC unroll 8
        for (int r = 1; r < kRegisters; ++r) {
            any = Lanes::Either(any, escapes[r]);
        }
        if (Lanes::Bits(any) == 0 && step < deadline) {
            continue;
        }
        LaneBits above = 0;
#pragma GCC unroll 8
        for (int r = 0; r < kRegisters; ++r) {
            above |= LaneBits{Lanes::Bits(escapes[r])} << (r * kWidth);
        }

        // Some lane is done. The flag is read here, at least once every kMaxIterations steps.
        if (!stream.MayGo()) {
            return false;
        }
        LaneBits done = above & ~idle;
        if (step >= deadline) {
            deadline = kNever;
            for (int lane = 0; lane < kLanes; ++lane) {
                if ((((above | idle) >> lane) & 1) != 0) {
                    continue;
                }
                if (step - start[lane] >= kMaxIterations) {
                    done |= LaneBits{1} << lane;
                } else if (start[lane] + kMaxIterations < deadline) {
                    deadline = start[lane] + kMaxIterations;
                }
            }
        }
#pragma GCC unroll 8
        for (int r = 0; r < kRegisters; ++r) {
            const auto bits =
                static_cast<unsigned>(done >> (r * kWidth)) & ((1u << kWidth) - 1);
            if (bits == 0) {
                continue;
            }
            for (unsigned rest = bits; rest != 0; rest &= rest - 1) {
                const int w = __builtin_ctz(rest);
                const int lane = r * kWidth + w;
                const bool bEscaped = ((above >> lane) & 1) != 0;
                SampleStream::Hand(cursor, ticket[lane],
                                   bEscaped ? static_cast<int>(step - start[lane] - 1) : 0);
                start[lane] = step;
                if (SampleStream::Drained(cursor)) {
                    // The lane's own ticket is handed in already but still counts: settling
                    // late is harmless.
                    std::int64_t oldest = ticket[lane];
                    for (int other = 0; other < kLanes; ++other) {
                        if (((idle >> other) & 1) == 0 && ticket[other] < oldest) {
                            oldest = ticket[other];
                        }
                    }
                    stream.Refill(cursor, oldest);
                }
                double re = 0.0;
                double im = 0.0;
                if (!SampleStream::Take(cursor, re, im, ticket[lane])) {
                    idle |= LaneBits{1} << lane;
                    --busy;
                }
                cRe[r] = Lanes::WithLane(cRe[r], w, re);
                cIm[r] = Lanes::WithLane(cIm[r], w, im);
            }
            x[r] = Lanes::Cleared(x[r], bits);
            y[r] = Lanes::Cleared(y[r], bits);
            squares[r] = Lanes::Cleared(squares[r], bits);
        }
        if (busy == 0) {
            stream.Finish();
            return true;
        }
        // A sample taken now runs out of steps after every sample already in a lane.
        if (deadline == kNever) {
            deadline = step + kMaxIterations;
        }
    }
}
