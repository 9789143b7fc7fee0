#include "shell/x11/icon_images.h"

#include "platform/image_layout.h"

namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kInfoHeaderSize = 40;

std::uint32_t Read16(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0] | p[1] << 8);
}

std::uint32_t Read32(const std::uint8_t* p)
{
    return Read16(p) | Read16(p + 2) << 16;
}

// The image whose bitmap (info header, pixels, mask) starts at data[offset], or nothing.
bool ReadImage(const std::uint8_t* data, std::size_t length, std::size_t offset,
               IconImage& image)
{
    if (offset > length || length - offset < kInfoHeaderSize) {
        return false;
    }
    const std::uint8_t* header = data + offset;
    const auto width = static_cast<std::int32_t>(Read32(header + 4));
    const auto height = static_cast<std::int32_t>(Read32(header + 8));  // colour and mask
    const std::uint32_t bits = Read16(header + 14);
    const std::uint32_t compression = Read32(header + 16);
    if (Read32(header) != kInfoHeaderSize || bits != 24 || compression != 0 || width <= 0 ||
        width > 256 || height != 2 * width) {
        return false;
    }
    const int size = width;
    const std::size_t colourSize = ImageSize(size, size);
    const std::size_t maskStride = (static_cast<std::size_t>(size) + 31) / 32 * 4;
    if (length - offset - kInfoHeaderSize < colourSize + maskStride * size) {
        return false;
    }
    const std::uint8_t* colour = header + kInfoHeaderSize;
    const std::uint8_t* mask = colour + colourSize;
    image.size = size;
    image.pixels.assign(colour, colour + colourSize);
    image.transparent.resize(static_cast<std::size_t>(size) * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            image.transparent[static_cast<std::size_t>(y) * size + x] =
                (mask[y * maskStride + x / 8] >> (7 - x % 8) & 1) != 0;
        }
    }
    return true;
}

}  // namespace

std::vector<IconImage> ReadIconImages(const std::uint8_t* data, std::size_t length)
{
    std::vector<IconImage> images;
    if (length < kDirectorySize || Read16(data) != 0 || Read16(data + 2) != 1) {
        return images;
    }
    const std::size_t count = Read16(data + 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kDirectorySize + i * kEntrySize;
        if (entry + kEntrySize > length) {
            break;
        }
        IconImage image;
        if (ReadImage(data, length, Read32(data + entry + 12), image)) {
            images.push_back(std::move(image));
        }
    }
    return images;
}

std::vector<unsigned long> NetWmIcon(const std::vector<IconImage>& images)
{
    std::vector<unsigned long> property;
    for (const IconImage& image : images) {
        const int size = image.size;
        const int stride = ImageStride(size);
        property.push_back(static_cast<unsigned long>(size));
        property.push_back(static_cast<unsigned long>(size));
        for (int y = size - 1; y >= 0; --y) {
            const std::uint8_t* pixel = image.pixels.data() + static_cast<std::size_t>(y) * stride;
            for (int x = 0; x < size; ++x, pixel += 3) {
                const bool bClear = image.transparent[static_cast<std::size_t>(y) * size + x];
                property.push_back((bClear ? 0ul : 0xFF000000ul) |
                                   static_cast<unsigned long>(pixel[2]) << 16 |
                                   static_cast<unsigned long>(pixel[1]) << 8 | pixel[0]);
            }
        }
    }
    return property;
}
