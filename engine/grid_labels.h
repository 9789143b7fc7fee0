// Value labels of the coordinate grid: the fixed-point text of a tick value, and how a drawn
// label is blended into the grid image (StampLabel, a member of CRenderContext, draws it).
#pragma once

#include <cstdint>

// Room FormatScaled needs: a sign, 19 digits, the point and the terminator.
constexpr int kScaledTextSize = 22;

// Writes the decimal text of value / divisor into pDest (kScaledTextSize characters).
// A divisor 10^k (k ≥ 1) gives k digits after the point; 1 and 0 give an integer. Any other
// divisor (the grid passes none) gives at least as many digits as it has, zero-padded, and a
// point only where dividing it by ten again and again reaches exactly 1. Every 64-bit value
// is written in full, the most negative one included.
void FormatScaled(char* pDest, std::int64_t divisor, std::int64_t value);

// Label font size in tenths of a point for a picture `width` pixels wide.
int LabelPointSize(int width);

// A label's pixels: cx × cy, common image layout (text row 0 at the bottom).
struct LabelPixels {
    const std::uint8_t* pixels = nullptr;
    int cx = 0;
    int cy = 0;
};

// Halves the image under the label and adds the label on top, pixel by pixel, anchored at
// column x, row y (from the bottom); a vertical label is turned a quarter turn
// counter-clockwise, its glyphs' feet on column x. Pixels outside the image are skipped.
void BlendLabel(std::uint8_t* pImage, int width, int height, const LabelPixels& label, int x,
                int y, bool vertical);
