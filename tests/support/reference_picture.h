// Pictures computed the plain way, one sample after the other and one double step at a time,
// exactly as they are defined: what the kernels and the renderer must reproduce bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/render_context.h"
#include "engine/sample_stream.h"
#include "platform/image_layout.h"

struct ReferenceOrbit {
    int steps;     // steps taken, the escaping one included
    bool escaped;  // false: all kMaxIterations steps stayed within the limit
};

inline ReferenceOrbit FollowOrbit(double cRe, double cIm)
{
    double x = 0.0;
    double y = 0.0;
    for (int step = 1; step <= kMaxIterations; ++step) {
        y = std::fabs(y);
        const double nextX = (x * x - y * y) + cRe;
        const double nextY = 2.0 * (y * x) + cIm;
        if (nextX * nextX + nextY * nextY > 10.0) {
            return {step, true};
        }
        x = nextX;
        y = nextY;
    }
    return {kMaxIterations, false};
}

inline int ReferenceIndex(double cRe, double cIm)
{
    const ReferenceOrbit orbit = FollowOrbit(cRe, cIm);
    return orbit.escaped ? orbit.steps - 1 : 0;
}

// The context's picture of the given view with its palette: each pixel the truncated average
// of its n × n samples' colours. Row padding holds 0xA5.
inline std::vector<std::uint8_t> ReferencePicture(const CRenderContext& context, double centreRe,
                                                  double centreIm, double spanRe, double spanIm)
{
    const int width = context.m_nWidth;
    const int height = context.m_nHeight;
    const int n = context.m_nSubsamples;
    std::vector<std::uint8_t> picture(ImageSize(width, height), 0xA5);
    for (int i = 0; i < height; ++i) {
        for (int j = 0; j < width; ++j) {
            int sums[3] = {0, 0, 0};
            for (int k = 0; k < n; ++k) {
                for (int l = 0; l < n; ++l) {
                    const double cRe = centreRe + spanRe * ((j * n + l) / double(width * n) - 0.5);
                    const double cIm = centreIm + spanIm * ((i * n + k) / double(height * n) - 0.5);
                    const int index = ReferenceIndex(cRe, cIm);
                    sums[0] += context.m_palBlue[index];
                    sums[1] += context.m_palGreen[index];
                    sums[2] += context.m_palRed[index];
                }
            }
            for (int c = 0; c < 3; ++c) {
                picture[static_cast<std::size_t>(i * ImageStride(width) + 3 * j + c)] =
                    static_cast<std::uint8_t>(sums[c] / (n * n));
            }
        }
    }
    return picture;
}
