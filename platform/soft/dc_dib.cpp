// Copies between device-independent bitmaps and the surfaces of the software backend.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/image_layout.h"
#include "platform/soft/dc_state.h"

namespace {

// The program only ever hands over 24-bit bottom-up DIBs.
bool IsSupported(const BitmapInfoHeader& header)
{
    return header.biBitCount == 24 && header.biCompression == 0 && header.biWidth >= 0 &&
           header.biHeight >= 0;
}

}  // namespace

int CDC::GetDIBits(CBitmap* pBitmap, int nStartRow, int nLines, void* pBits,
                   const BitmapInfoHeader& header)
{
    const soft::Surface* surface = pBitmap != nullptr ? soft::BitmapSurface(*pBitmap) : nullptr;
    if (surface == nullptr || pBits == nullptr || !IsSupported(header)) {
        return 0;
    }
    const int width = header.biWidth;
    const std::size_t stride = ImageStride(width);
    const std::size_t copied = 3 * static_cast<std::size_t>(std::min(width, surface->Width()));
    auto* bits = static_cast<std::uint8_t*>(pBits);
    const int first = std::max(nStartRow, 0);
    const int end = std::min({nStartRow + nLines, surface->Height(), header.biHeight});
    for (int row = first; row < end; ++row) {
        std::uint8_t* target = bits + static_cast<std::size_t>(row - nStartRow) * stride;
        std::memcpy(target, surface->Row(surface->Height() - 1 - row), copied);
        std::memset(target + copied, 0, stride - copied);
    }
    return std::max(end - first, 0);
}

// The source rectangle of a bottom-up DIB starts at its lower left corner, as in GDI.
// Scaling picks the nearest source pixel.
int CDC::StretchDIBits(int xDest, int yDest, int nDestWidth, int nDestHeight, int xSrc, int ySrc,
                       int nSrcWidth, int nSrcHeight, const void* pBits,
                       const BitmapInfoHeader& header)
{
    soft::Surface* surface = m_pState->Target();
    if (surface == nullptr || pBits == nullptr || !IsSupported(header) || nDestWidth <= 0 ||
        nDestHeight <= 0 || nSrcWidth <= 0 || nSrcHeight <= 0) {
        return 0;
    }
    const soft::DrawingScope drawing(*m_pState);
    const auto* bits = static_cast<const std::uint8_t*>(pBits);
    const std::size_t stride = ImageStride(header.biWidth);
    for (int dy = 0; dy < nDestHeight; ++dy) {
        const int targetY = yDest + dy;
        const auto fromTop = static_cast<int>(std::int64_t{dy} * nSrcHeight / nDestHeight);
        const int sourceRow = ySrc + nSrcHeight - 1 - fromTop;
        if (targetY < 0 || targetY >= surface->Height() || sourceRow < 0 ||
            sourceRow >= header.biHeight) {
            continue;
        }
        const std::uint8_t* source = bits + static_cast<std::size_t>(sourceRow) * stride;
        std::uint8_t* target = surface->Row(targetY);
        if (nDestWidth == nSrcWidth) {
            // The common 1:1 blit: one copy of the part of the row that is on both sides.
            const int first = std::max({0, -xDest, -xSrc});
            const int end = std::min({nDestWidth, surface->Width() - xDest, header.biWidth - xSrc});
            if (first < end) {
                std::memcpy(target + 3 * static_cast<std::size_t>(xDest + first),
                            source + 3 * static_cast<std::size_t>(xSrc + first),
                            3 * static_cast<std::size_t>(end - first));
            }
            continue;
        }
        for (int dx = 0; dx < nDestWidth; ++dx) {
            const int targetX = xDest + dx;
            const int sourceX =
                xSrc + static_cast<int>(std::int64_t{dx} * nSrcWidth / nDestWidth);
            if (targetX < 0 || targetX >= surface->Width() || sourceX < 0 ||
                sourceX >= header.biWidth) {
                continue;
            }
            std::memcpy(target + 3 * static_cast<std::size_t>(targetX),
                        source + 3 * static_cast<std::size_t>(sourceX), 3);
        }
    }
    return nSrcHeight;
}
