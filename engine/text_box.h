// Text drawn white on black into an off-screen box and read back in the common image layout:
// how glyphs get into a picture buffer (the grid labels; the caption draws the same way).
#pragma once

#include <cstdint>
#include <string>

#include "platform/gdi.h"

class CWnd;

// A point font: size in tenths of a point and face name.
struct TextFont {
    int points = 0;
    const char* face = "";
};

// Extent of the text in the font, measured on the window's client DC.
CSize MeasureText(CWnd& window, const TextFont& font, const std::string& text);

// Paints a box of box.cx × box.cy black, draws the text in white with its cell's top left
// corner at (x, y) of the box (y downwards), and reads the box into pBits, a buffer of
// ImageSize(box.cx, box.cy) bytes.
void RasterizeText(CWnd& window, const TextFont& font, const std::string& text, CSize box, int x,
                   int y, std::uint8_t* pBits);
