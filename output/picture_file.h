// The renderer's picture files: BMP exactly as the saver writes them, or PNG with the same
// pixels.
#pragma once

#include <cstdint>
#include <string>

#include "output/whole_file.h"

// Writes an image of the common layout as a whole PNG file (WriteWholeFile).
WriteResult WritePngFile(const std::string& path, const std::uint8_t* pImage, int width,
                         int height);

// PNG when the name ends in ".png" (any case), BMP otherwise.
WriteResult WritePictureFile(const std::string& path, const std::uint8_t* pImage, int width,
                             int height);
