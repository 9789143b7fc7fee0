#include "show/display_area.h"

#include <algorithm>
#include <cstdint>

std::vector<DisplayRect> CollectDisplays(
    const std::function<std::optional<DisplayRect>(int number)>& queryDisplay)
{
    std::vector<DisplayRect> displays;
    for (int number = 1;; ++number) {
        const std::optional<DisplayRect> display = queryDisplay(number);
        if (!display) {
            return displays;
        }
        displays.push_back(*display);
    }
}

std::optional<DisplayRect> FindSpanningGroup(const std::vector<DisplayRect>& displays)
{
    // 64 bits: a display's far edge may lie beyond the 32-bit range.
    std::int64_t left = INT32_MAX;
    std::int64_t top = INT32_MAX;
    std::int64_t right = -INT32_MAX;
    std::int64_t bottom = -INT32_MAX;
    for (const DisplayRect& display : displays) {
        left = std::min<std::int64_t>(left, display.left);
        top = std::min<std::int64_t>(top, display.top);
        right = std::max(right, std::int64_t{display.left} + display.width);
        bottom = std::max(bottom, std::int64_t{display.top} + display.height);
        if (right - left == kSpanningWidth && bottom - top == kSpanningHeight) {
            return DisplayRect{static_cast<int>(left), static_cast<int>(top), kSpanningWidth,
                               kSpanningHeight};
        }
    }
    return std::nullopt;
}

DisplayRect ChooseShowArea(const std::vector<DisplayRect>& displays,
                           const std::function<DisplayRect()>& primaryDisplay)
{
    if (const std::optional<DisplayRect> group = FindSpanningGroup(displays)) {
        return *group;
    }
    return primaryDisplay();
}
