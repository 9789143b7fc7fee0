// The zoom transition apart from any window: the outline's rectangle at each step of the way
// into the new view, and the outline drawn over a picture; the way itself and the film have
// headers of their own.
#pragma once

#include <cstdint>

#include "engine/transition_film.h"
#include "engine/transition_way.h"

class CWnd;

// The outline at step `step` (0 … kOutlineSteps) of its way onto the target.
PictureRect OutlineAtStep(const PictureRect& target, int width, int height, int step);

// Draws the outline of rect over a width × height picture in the common layout as the
// transition draws it on the window (the same pen, XOR-drawn); window gives the DCs.
void DrawOutlineOverPicture(CWnd& window, std::uint8_t* pPicture, int width, int height,
                            const PictureRect& rect);

// Width of the outline's pen on a picture `width` pixels wide.
constexpr int OutlinePenWidth(int width) { return width / 960 + 1; }
