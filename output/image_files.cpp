#include "output/image_files.h"

#include <cerrno>
#include <cstdio>

#include "engine/image_layout.h"
#include "engine/render_context.h"
#include "output/whole_file.h"

namespace {

// Room for a path and its terminating zero, as the program's path buffers have.
constexpr std::size_t kPathBufferSize = 1000;
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

bool WriteBmpFile(const std::string& path, const std::uint8_t* pImage, int width, int height)
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

void CRenderContext::SaveImages(int slot)
{
    if (!m_bSaveImages) {
        return;
    }
    const bool bWithGrid = m_bShowGrid.load() != 0;
    const std::uint8_t* images[] = {m_pDisplay.get(), m_pGrid.get()};
    for (int k = 0; k < (bWithGrid ? 2 : 1); ++k) {
        const auto name = PictureFileName(m_strFileBase, slot, k == 1);
        errno = name ? 0 : ENAMETOOLONG;
        // A picture that cannot be saved does not stop the show; whoever runs it may.
        if ((!name || !WriteBmpFile(*name, images[k], m_nWidth, m_nHeight)) && m_fnSaveFailed) {
            m_fnSaveFailed(name.value_or(m_strFileBase), errno);
        }
    }
}
