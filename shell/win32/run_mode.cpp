#include "shell/win32/run_mode.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view SkipBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

// The window handle after an option letter: a colon or blanks, then decimal digits up to the
// end or a blank. None when there is no such number or it does not fit a handle.
std::optional<std::uintptr_t> ParseWindow(std::string_view text)
{
    if (!text.empty() && text.front() == ':') {
        text.remove_prefix(1);
    }
    text = SkipBlanks(text);
    if (text.empty()) {
        return std::nullopt;
    }
    std::uintptr_t value = 0;
    constexpr std::uintptr_t kMost = std::numeric_limits<std::uintptr_t>::max();
    for (const char c : text) {
        if (IsBlank(c)) {
            break;
        }
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uintptr_t>(c - '0');
        if (value > (kMost - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
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

Launch ParseLaunch(std::string_view modulePath, std::string_view arguments)
{
    if (!IsScreenSaverPath(modulePath)) {
        return {RunMode::Application, 0};
    }
    arguments = SkipBlanks(arguments);
    if (arguments.size() < 2 || (arguments[0] != '/' && arguments[0] != '-')) {
        return {RunMode::Application, 0};
    }
    const std::string_view rest = arguments.substr(2);
    // Only the letter counts: "/S" and "/s" alike, and anything glued to it is ignored.
    switch (AsciiLower(arguments[1])) {
    case 's':
        return {RunMode::ScreenSaver, 0};
    case 'p': {
        // A preview needs its window; without one there is nothing to show in.
        const std::optional<std::uintptr_t> window = ParseWindow(rest);
        return window && *window != 0 ? Launch{RunMode::Preview, *window}
                                      : Launch{RunMode::None, 0};
    }
    case 'c':
        return {RunMode::Application, ParseWindow(rest).value_or(0)};
    case 'a':
        return {RunMode::None, 0};
    default:
        return {RunMode::Application, 0};
    }
}
