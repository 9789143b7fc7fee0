// The maximum picture count from the text of its edit box, read as the C library's atoi
// reads it: leading white space, an optional sign, decimal digits up to the first other
// character; 0 without digits. Numbers beyond the 32-bit range are clamped to it.
#pragma once

#include <string_view>

int ParseCountText(std::string_view text);
