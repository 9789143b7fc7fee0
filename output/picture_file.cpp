#include "output/picture_file.h"

#include <algorithm>
#include <cctype>

#include <png.h>

#include "output/image_files.h"
#include "platform/image_layout.h"

namespace {

bool HasPngExtension(const std::string& path)
{
    const std::string extension = ".png";
    if (path.size() < extension.size()) {
        return false;
    }
    return std::equal(extension.begin(), extension.end(), path.end() - extension.size(),
                      [](char a, char b) {
                          return a == std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace

WriteResult WritePngFile(const std::string& path, const std::uint8_t* pImage, int width,
                         int height)
{
    return WriteWholeFile(path, [&](std::FILE* pFile) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(width);
        image.height = static_cast<png_uint_32>(height);
        image.format = PNG_FORMAT_BGR;
        // A negative row stride tells libpng that the bottom row comes first.
        const int ok = png_image_write_to_stdio(
            &image, pFile, 0, pImage, -static_cast<png_int_32>(ImageStride(width)), nullptr);
        png_image_free(&image);
        return ok != 0;
    });
}

WriteResult WritePictureFile(const std::string& path, const std::uint8_t* pImage, int width,
                             int height)
{
    return HasPngExtension(path) ? WritePngFile(path, pImage, width, height)
                                 : WriteBmpFile(path, pImage, width, height);
}
