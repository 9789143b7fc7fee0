// The layout every picture buffer shares: W × H pixels of blue, green, red bytes, rows stored
// bottom-up, each row padded to a multiple of four bytes.
#pragma once

#include <cstddef>

constexpr int ImageStride(int width) { return 3 * width + width % 4; }

constexpr std::size_t ImageSize(int width, int height)
{
    return static_cast<std::size_t>(ImageStride(width)) * static_cast<std::size_t>(height);
}
