// Which pixels a pen covers.
#pragma once

#include <vector>

namespace soft {

struct Pixel {
    int x = 0;
    int y = 0;
    auto operator<=>(const Pixel&) const = default;
};

// The pixels of the line from (x0, y0) to (x1, y1), its end point left out as GDI does,
// thickened by a round stamp penWidth across centred on the path. Each pixel appears once.
std::vector<Pixel> LinePixels(int x0, int y0, int x1, int y1, int penWidth);

}  // namespace soft
