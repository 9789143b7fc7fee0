// The program's icon as the X11 side shows it, read from the Windows icon file, so that both
// programs show one picture: the window's _NET_WM_ICON and the icon theme's PNG files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct IconImage {
    int size = 0;
    std::vector<std::uint8_t> pixels;  // the common image layout: blue, green, red, bottom-up
    std::vector<bool> transparent;     // size × size, rows bottom-up, from the icon's mask
};

// The uncompressed 24-bit images of an .ico file, in the file's order; the file's other
// images (palette, PNG) are left out. Empty for data that is no icon file.
std::vector<IconImage> ReadIconImages(const std::uint8_t* data, std::size_t length);

// The images as the _NET_WM_ICON property holds them: for each, its width and height, then
// its pixels as 0xAARRGGBB, top row first.
std::vector<unsigned long> NetWmIcon(const std::vector<IconImage>& images);
