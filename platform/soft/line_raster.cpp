#include "platform/soft/line_raster.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace soft {

namespace {

// The offsets a pen of this width covers around a path pixel: a disc of that diameter.
// Even widths have their centre between pixels, up and left of the path pixel.
std::vector<Pixel> PenStamp(int penWidth)
{
    if (penWidth <= 1) {
        return {Pixel{0, 0}};
    }
    const int first = -penWidth / 2;
    const double centre = penWidth % 2 == 0 ? 0.5 : 0.0;
    const double radius = penWidth / 2.0;
    std::vector<Pixel> stamp;
    for (int dy = first; dy < first + penWidth; ++dy) {
        for (int dx = first; dx < first + penWidth; ++dx) {
            const double ex = dx + centre;
            const double ey = dy + centre;
            if (ex * ex + ey * ey <= radius * radius) {
                stamp.push_back(Pixel{dx, dy});
            }
        }
    }
    return stamp;
}

}  // namespace

std::vector<Pixel> LinePixels(int x0, int y0, int x1, int y1, int penWidth)
{
    std::vector<Pixel> path;
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int stepX = x0 < x1 ? 1 : -1;
    const int stepY = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    int x = x0;
    int y = y0;
    while (x != x1 || y != y1) {
        path.push_back(Pixel{x, y});
        const int doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            x += stepX;
        }
        if (doubled <= dx) {
            error += dx;
            y += stepY;
        }
    }
    const std::vector<Pixel> stamp = PenStamp(penWidth);
    if (stamp.size() == 1 || path.empty()) {
        return path;
    }
    // Stamps overlap: they are marked on a map of the line's box, which is then read column
    // by column, so each pixel comes out once and in the order Pixel compares.
    const int first = -penWidth / 2;
    const int left = std::min(x0, x1) + first;
    const int bottom = std::min(y0, y1) + first;
    const int columns = dx + penWidth;
    const int rows = -dy + penWidth;
    std::vector<std::uint8_t> covered(static_cast<std::size_t>(columns) * rows, 0);
    for (const Pixel& centre : path) {
        for (const Pixel& offset : stamp) {
            covered[static_cast<std::size_t>(centre.x + offset.x - left) * rows +
                    static_cast<std::size_t>(centre.y + offset.y - bottom)] = 1;
        }
    }
    std::vector<Pixel> pixels;
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            if (covered[static_cast<std::size_t>(column) * rows + static_cast<std::size_t>(row)]) {
                pixels.push_back(Pixel{left + column, bottom + row});
            }
        }
    }
    return pixels;
}

}  // namespace soft
