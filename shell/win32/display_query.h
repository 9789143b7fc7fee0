// The displays as the system numbers them and the primary display: what the show area is
// chosen from (the rule itself is in display_area.h).
#pragma once

#include <optional>

#include "show/display_area.h"

// Display n (1, 2, ...) from its current settings; none when the system has no such display.
std::optional<DisplayRect> QueryDisplay(int number);

// The primary display at the origin, its width asked for before its height.
DisplayRect PrimaryDisplay();
