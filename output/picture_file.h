// The renderer's picture files: BMP exactly as the saver writes them, or PNG with the same
// pixels.
#pragma once

#include <cstdint>
#include <string>

// Writes an image of the common layout as PNG. False when the file cannot be written.
bool WritePngFile(const std::string& path, const std::uint8_t* pImage, int width, int height);

// PNG when the name ends in ".png" (any case), BMP otherwise.
bool WritePictureFile(const std::string& path, const std::uint8_t* pImage, int width,
                      int height);
