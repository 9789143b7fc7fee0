// The coordinate grid: graph paper over the finished picture, lines at round values of the
// real part (columns) and the imaginary part (rows), every tenth line solid and labelled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A grid line that falls inside the picture.
struct GridTick {
    int position = 0;   // pixel column (real axis) or image row from the bottom (imaginary axis)
    bool major = false;
    std::string label;  // the value of a major line; empty for minor lines
};

// The lines of one axis, in increasing value, for a view of `span` around `centre` across
// `pixels` pixels. An axis whose values cannot be ticked sensibly (span not positive or not
// finite, tick numbers beyond 64 bits, more than a thousand ticks) gets none.
std::vector<GridTick> ComputeGridTicks(double centre, double span, int pixels);

// Draws one line into an image of the common layout: a column (vertical) or an image row,
// every step-th pixel from 0, each pixel black where it was bright and white elsewhere.
void DrawGridLine(std::uint8_t* pImage, int width, int height, int position, bool vertical,
                  int step);
