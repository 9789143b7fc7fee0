// Text through FreeType, with faces found by fontconfig. One engine serves every thread; a
// mutex guards FreeType, which is not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi.h"

namespace soft {

struct FontFace;

// A face name resolved to an installed face. Lives for the whole process.
struct ResolvedFont {
    std::string strRequested;
    const FontFace* pFace = nullptr;
    // The family name of the face used.
    std::string strFamily;
    // False when the requested face is not installed and another one stands in.
    bool bExact = false;
};

// Antialiased coverage of one glyph, placed relative to the text cell's top left corner.
struct GlyphImage {
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> coverage;  // rows × width, 0 to 255
};

struct TextImage {
    CSize extent;
    std::vector<GlyphImage> glyphs;
};

// The face a name stands for. Well-known Windows faces map to metric-compatible free faces;
// others go through fontconfig. Never null once any font is installed.
const ResolvedFont* ResolveFont(const std::string& face);

// cx: the sum of the advance widths; cy: ascent plus descent. pixelHeight is the em height.
CSize MeasureText(const ResolvedFont& font, int pixelHeight, const std::string& text);
TextImage RenderText(const ResolvedFont& font, int pixelHeight, const std::string& text);

}  // namespace soft
