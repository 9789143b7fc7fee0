#include "output/image_files.h"

#include <cstdio>

#include "output/whole_file.h"
#include "platform/image_layout.h"

namespace {

constexpr std::int32_t kPixelsPerMetre = 7874;  // 200 dots per inch

class HeaderWriter {
public:
    explicit HeaderWriter(std::uint8_t* pOut) : m_pOut(pOut) {}
    void Put16(std::uint32_t value) { Put(value, 2); }
    void Put32(std::uint32_t value) { Put(value, 4); }

private:
    void Put(std::uint32_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i) {
            *m_pOut++ = static_cast<std::uint8_t>(value >> (8 * i));
        }
    }
    std::uint8_t* m_pOut;
};

}  // namespace

std::array<std::uint8_t, kBmpHeadersSize> MakeBmpHeaders(int width, int height)
{
    const auto imageSize = static_cast<std::uint32_t>(ImageSize(width, height));
    std::array<std::uint8_t, kBmpHeadersSize> headers{};
    HeaderWriter out(headers.data());
    // File header.
    out.Put16(0x4D42);  // "BM"
    out.Put32(kBmpHeadersSize + imageSize);
    out.Put16(0);
    out.Put16(0);
    out.Put32(kBmpHeadersSize);
    // Information header.
    out.Put32(40);
    out.Put32(static_cast<std::uint32_t>(width));
    out.Put32(static_cast<std::uint32_t>(height));
    out.Put16(1);
    out.Put16(24);
    out.Put32(0);  // uncompressed
    out.Put32(imageSize);
    out.Put32(kPixelsPerMetre);
    out.Put32(kPixelsPerMetre);
    out.Put32(0);
    out.Put32(0);
    return headers;
}

std::string FileBaseFromModulePath(const std::string& modulePath)
{
    return modulePath.substr(0, modulePath.rfind('.'));
}

std::optional<std::string> PictureFileName(const std::string& base, int slot, bool bGrid)
{
    char suffix[100];
    std::snprintf(suffix, sizeof suffix, bGrid ? "_%d_g.bmp" : "_%d.bmp", slot);
    std::string name = base + suffix;
    if (name.size() >= kPathBufferSize) {
        return std::nullopt;
    }
    return name;
}

WriteResult WriteBmpFile(const std::string& path, const std::uint8_t* pImage, int width,
                         int height)
{
    const auto headers = MakeBmpHeaders(width, height);
    const std::size_t imageSize = ImageSize(width, height);
    return WriteWholeFile(path, [&](std::FILE* pFile) {
        // File header, information header, pixels: one write each.
        return std::fwrite(headers.data(), 1, 14, pFile) == 14 &&
               std::fwrite(headers.data() + 14, 1, 40, pFile) == 40 &&
               std::fwrite(pImage, 1, imageSize, pFile) == imageSize;
    });
}
