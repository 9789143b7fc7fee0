// The pieces of the target finder: its random generator, the window test and the two window
// measures. FindTarget (a member of CRenderContext) puts them together.
#pragma once

#include <cstdint>

// Pictures narrower or lower than this have no search window that holds a pair of pixels:
// the finder never finds a target in them.
inline constexpr int kMinTargetSide = 20;

// A 32-bit linear congruential generator whose state belongs to the calling thread.
void SeedTargetRandom(std::uint32_t seed);
// The next number, 0 … 32767.
int DrawTargetRandom();

// Columns x0 … x1 − 1 and rows y0 … y1 − 1 (rows counted from the bottom).
struct PixelWindow {
    int x0 = 0;
    int x1 = 0;
    int y0 = 0;
    int y1 = 0;
};

PixelWindow WindowAround(int col, int row, int halfWidth, int halfHeight);

// Phase one's search window around the picture fraction (fx, fy).
PixelWindow SearchWindow(int width, int height, double fx, double fy);
// True when some search window lies inside the picture above the caption's rows: without one
// no target can ever be found.
bool HasSearchWindow(int width, int height, int captionRows);

// A window may use neither the caption's rows nor the last column or the top row.
bool IsWindowValid(const PixelWindow& window, int width, int height, int captionRows);

// Half sizes of the refinement windows: what the next picture, spanning `nextSpan` along the
// shorter side, would show of the current one.
struct HalfSizes {
    int width = 0;
    int height = 0;
};
HalfSizes RefinementHalfSizes(int width, int height, double spanRe, double spanIm,
                              double nextSpan);

// A picture in the common image layout, read only.
struct PictureBytes {
    const std::uint8_t* pixels = nullptr;
    int stride = 0;
};

// Brightness summed over a window, and the number of terms.
struct WindowScore {
    double sum = 0.0;
    int count = 0;
};

// Brightness changes between horizontally adjacent pixels of the window.
WindowScore MeasureRoughness(const PictureBytes& picture, const PixelWindow& window);
// Local brightness curvature of the window's inner pixels; steps up by more than half the
// brightness range count as flat.
WindowScore MeasureRelief(const PictureBytes& picture, const PixelWindow& window);
