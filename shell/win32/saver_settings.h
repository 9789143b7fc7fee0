// The settings kept for each user (HKEY_CURRENT_USER\Software\Orvane): the picture count of the
// control dialog, so that the count chosen in the settings is the one the screen saver's show
// uses when Windows starts it.
#pragma once

#include <optional>

// The stored count; none when there is none, or the value is not a 32-bit number.
std::optional<int> LoadMaxImages();
void StoreMaxImages(int count);
