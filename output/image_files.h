// The pictures as files: 24-bit BMP files in numbered slots beside the executable.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "output/whole_file.h"

// File header (14 bytes) and information header (40 bytes) of an uncompressed bottom-up
// 24-bit BMP file of width × height pixels, little-endian.
inline constexpr int kBmpHeadersSize = 54;
std::array<std::uint8_t, kBmpHeadersSize> MakeBmpHeaders(int width, int height);

// The base of the picture files: the executable's path cut at its last ".", or all of it
// when there is none.
std::string FileBaseFromModulePath(const std::string& modulePath);

// base + "_<slot>.bmp", or base + "_<slot>_g.bmp" for the grid picture. Nothing when the name
// does not fit the program's 1000-byte path buffer: a cut name would be another file's.
std::optional<std::string> PictureFileName(const std::string& base, int slot, bool bGrid);

// Writes an image of the common layout as a whole BMP file (WriteWholeFile).
WriteResult WriteBmpFile(const std::string& path, const std::uint8_t* pImage, int width,
                         int height);
