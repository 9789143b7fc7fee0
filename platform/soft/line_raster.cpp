#include "platform/soft/line_raster.h"

#include <algorithm>
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
    const std::vector<Pixel> stamp = PenStamp(penWidth);
    std::vector<Pixel> pixels;
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int stepX = x0 < x1 ? 1 : -1;
    const int stepY = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    int x = x0;
    int y = y0;
    while (x != x1 || y != y1) {
        for (const Pixel& offset : stamp) {
            pixels.push_back(Pixel{x + offset.x, y + offset.y});
        }
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
    if (stamp.size() > 1) {
        std::sort(pixels.begin(), pixels.end());
        pixels.erase(std::unique(pixels.begin(), pixels.end()), pixels.end());
    }
    return pixels;
}

}  // namespace soft
