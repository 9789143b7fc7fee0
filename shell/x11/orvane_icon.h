// The bytes of the program's icon file, shell/win32/res/orvane.ico, built into the program.
#pragma once

#include <cstddef>
#include <cstdint>

extern const std::uint8_t kOrvaneIcon[];
extern const std::size_t kOrvaneIconSize;
