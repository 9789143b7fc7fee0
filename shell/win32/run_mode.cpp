#include "shell/win32/run_mode.h"

#include <algorithm>

namespace {

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool IsScreenSaverPath(std::string_view modulePath)
{
    constexpr std::string_view kExtension = ".scr";
    if (modulePath.size() < kExtension.size()) {
        return false;
    }
    const std::string_view tail = modulePath.substr(modulePath.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                      [](char a, char b) { return AsciiLower(a) == b; });
}
