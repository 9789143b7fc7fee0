#include "engine/grid_labels.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/render_context.h"
#include "engine/text_box.h"

namespace {

constexpr char kLabelFace[] = "Courier New";
constexpr int kMinLabelPoints = 90;

}  // namespace

void FormatScaled(char* pDest, std::int64_t divisor, std::int64_t value)
{
    if (value == 0) {
        std::strcpy(pDest, "0.0");
        return;
    }
    // The magnitude as unsigned, so that the most negative value has one too.
    const bool negative = value < 0;
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);

    // Right to left; a 64-bit divisor runs out after at most 19 divisions by ten.
    char text[kScaledTextSize];
    char* pFirst = text + sizeof(text) - 1;
    *pFirst = '\0';
    do {
        *--pFirst = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
        divisor /= 10;
        if (divisor == 1) {
            *--pFirst = '.';
        }
    } while (magnitude != 0 || divisor != 0);
    if (negative) {
        *--pFirst = '-';
    }
    std::strcpy(pDest, pFirst);
}

int LabelPointSize(int width)
{
    return std::max(width / 20, kMinLabelPoints);
}

void BlendLabel(std::uint8_t* pImage, int width, int height, const LabelPixels& label, int x,
                int y, bool vertical)
{
    const std::ptrdiff_t imageStride = ImageStride(width);
    const std::ptrdiff_t labelStride = ImageStride(label.cx);
    for (int j = 0; j < label.cx; ++j) {
        for (int i = 0; i < label.cy; ++i) {
            // 64-bit, so that an anchor far outside the image cannot overflow.
            const long long col = vertical ? static_cast<long long>(x) - i
                                           : static_cast<long long>(x) + j;
            const long long row = vertical ? static_cast<long long>(y) + j
                                           : static_cast<long long>(y) + i;
            if (col < 0 || col >= width || row < 0 || row >= height) {
                continue;
            }
            std::uint8_t* target = pImage + row * imageStride + 3 * col;
            const std::uint8_t* source = label.pixels + i * labelStride + 3 * j;
            for (int c = 0; c < 3; ++c) {
                target[c] = static_cast<std::uint8_t>(std::min(255, (target[c] >> 1) + source[c]));
            }
        }
    }
}

void CRenderContext::StampLabel(LabelRequest request)
{
    if (!m_pGrid) {
        return;
    }
    const TextFont font{LabelPointSize(m_nWidth), kLabelFace};
    const CSize extent = MeasureText(GetWindow(), font, request.text);
    if (extent.cx <= 0 || extent.cy <= 0) {
        return;
    }
    std::vector<std::uint8_t> pixels(ImageSize(extent.cx, extent.cy));
    RasterizeText(GetWindow(), font, request.text, extent, 0, 0, pixels.data());
    BlendLabel(m_pGrid.get(), m_nWidth, m_nHeight, {pixels.data(), extent.cx, extent.cy},
               request.x, request.y, request.bVertical != 0);
}
