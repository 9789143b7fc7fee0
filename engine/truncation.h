// Real-to-integer conversions of picture arithmetic. They truncate toward zero like a plain
// cast, but a value outside the int range (or NaN) would make the cast undefined: such values
// saturate instead, far enough inside the range that the sum or difference of two results
// cannot overflow. Every pixel position derived from a view goes through here.
#pragma once

constexpr int kSaturatedPixel = 1 << 29;

constexpr int TruncToPixel(double value)
{
    if (!(value > -kSaturatedPixel)) {  // also NaN
        return -kSaturatedPixel;
    }
    if (value >= kSaturatedPixel) {
        return kSaturatedPixel;
    }
    return static_cast<int>(value);
}
