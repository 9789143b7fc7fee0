// Where the show goes: a group of displays that together measure exactly 3840 × 2400 pixels,
// or else the primary display.
#pragma once

#include <functional>
#include <optional>
#include <vector>

struct DisplayRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const DisplayRect&) const = default;
};

// Asks for displays 1, 2, 3, ... in turn; the first number without a display ends the list,
// even if higher numbers would answer.
std::vector<DisplayRect> CollectDisplays(
    const std::function<std::optional<DisplayRect>(int number)>& queryDisplay);

constexpr int kSpanningWidth = 3840;
constexpr int kSpanningHeight = 2400;

// displays: in the order the system numbers them, display 1 first. Looks at the bounding
// rectangles of displays 1..m for m = 1, 2, ...; returns the first that measures exactly
// 3840 × 2400. Groups that leave out display 1 are never considered.
std::optional<DisplayRect> FindSpanningGroup(const std::vector<DisplayRect>& displays);

// That group, or else the primary display at (0, 0), which is asked for only then.
DisplayRect ChooseShowArea(const std::vector<DisplayRect>& displays,
                           const std::function<DisplayRect()>& primaryDisplay);
