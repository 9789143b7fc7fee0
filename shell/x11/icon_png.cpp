// Writes one image of an icon file as PNG, for the icon theme.
//   orvane_icon_png ICON.ico SIZE OUTPUT.png
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "output/picture_file.h"
#include "shell/x11/icon_images.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: orvane_icon_png ICON.ico SIZE OUTPUT.png\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    const int size = std::stoi(argv[2]);
    for (const IconImage& image : ReadIconImages(bytes.data(), bytes.size())) {
        if (image.size == size) {
            std::filesystem::create_directories(std::filesystem::path(argv[3]).parent_path());
            if (!WritePngFile(argv[3], image.pixels.data(), size, size)) {
                std::perror(argv[3]);
                return 1;
            }
            return 0;
        }
    }
    std::fprintf(stderr, "orvane_icon_png: %s has no 24-bit image of %d pixels\n", argv[1], size);
    return 1;
}
