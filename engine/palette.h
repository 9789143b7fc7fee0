// The colours of the iteration indices: black, through dark blue and blue to sky blue and
// almost white, repeating every hundred indices.
#pragma once

#include <cstdint>

// Entries of each of the three palette tables: one per iteration index.
inline constexpr int kPaletteSize = 1000;

// The ramp's colour at t as 0xRRGGBB; black for t outside [0, 1).
std::uint32_t PaletteRamp(double t);
