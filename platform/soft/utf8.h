// UTF-8 to code points.
#pragma once

#include <string>

namespace soft {

// Ill-formed sequences become U+FFFD, one per offending byte.
std::u32string DecodeUtf8(const std::string& text);

}  // namespace soft
