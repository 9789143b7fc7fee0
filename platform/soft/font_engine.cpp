#include "platform/soft/font_engine.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include "platform/soft/utf8.h"

namespace soft {

struct FontFace {
    FT_Face ft = nullptr;
    std::string strFamily;
};

namespace {

// Windows faces the program names, and the free faces with the same metrics and style.
const std::pair<const char*, const char*> kFaceAliases[] = {
    {"ＭＳ Ｐ明朝", "IPAPMincho"},
    {"ＭＳ Ｐゴシック", "IPAPGothic"},
    {"Courier New", "Liberation Mono"},
    {"Arial", "Liberation Sans"},
};

std::string FamilyFor(const std::string& face)
{
    for (const auto& [windowsName, freeName] : kFaceAliases) {
        if (face == windowsName) {
            return freeName;
        }
    }
    return face;
}

struct VerticalMetrics {
    int ascent = 0;
    int descent = 0;
};

int ScaleToPixels(long fontUnits, int pixelHeight, int unitsPerEm)
{
    return static_cast<int>((fontUnits * pixelHeight + unitsPerEm / 2) / unitsPerEm);
}

// Ascent and descent as the Windows text metrics give them: from the OS/2 table's
// winAscent and winDescent when the face has one.
VerticalMetrics MetricsOf(FT_Face ft, int pixelHeight)
{
    if (!FT_IS_SCALABLE(ft)) {
        return {static_cast<int>(ft->size->metrics.ascender >> 6),
                static_cast<int>(-ft->size->metrics.descender >> 6)};
    }
    long ascent = ft->ascender;
    long descent = -ft->descender;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    }
    return {ScaleToPixels(ascent, pixelHeight, ft->units_per_EM),
            ScaleToPixels(descent, pixelHeight, ft->units_per_EM)};
}

// Every string value of a pattern's property.
std::vector<std::string> StringsOf(FcPattern* pattern, const char* property)
{
    std::vector<std::string> values;
    FcChar8* value = nullptr;
    for (int n = 0; FcPatternGetString(pattern, property, n, &value) == FcResultMatch; ++n) {
        values.emplace_back(reinterpret_cast<const char*>(value));
    }
    return values;
}

bool SameFamily(const std::string& a, const std::string& b)
{
    return FcStrCmpIgnoreCase(reinterpret_cast<const FcChar8*>(a.c_str()),
                              reinterpret_cast<const FcChar8*>(b.c_str())) == 0;
}

// What fontconfig is asked for: a scalable face of the family, having the characters of
// charset when one is given.
FcPattern* QueryPattern(const std::string& family, FcCharSet* charset)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    if (charset != nullptr) {
        FcPatternAddCharSet(pattern, FC_CHARSET, charset);
    }
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

class FontEngine {
public:
    static FontEngine& Instance()
    {
        // Never destroyed: detached threads may still draw text while the process exits.
        static FontEngine* engine = new FontEngine;
        return *engine;
    }

    const ResolvedFont* Resolve(const std::string& face)
    {
        std::lock_guard lock(m_mutex);
        auto& slot = m_resolved[face];
        if (!slot) {
            slot = ResolveLocked(face);
        }
        return slot.get();
    }

    CSize Measure(const ResolvedFont& font, int pixelHeight, const std::string& text)
    {
        std::lock_guard lock(m_mutex);
        return Layout(font, pixelHeight, text, nullptr);
    }

    TextImage Render(const ResolvedFont& font, int pixelHeight, const std::string& text)
    {
        std::lock_guard lock(m_mutex);
        TextImage image;
        image.extent = Layout(font, pixelHeight, text, &image.glyphs);
        return image;
    }

private:
    FontEngine()
    {
        if (FT_Init_FreeType(&m_library) != 0) {
            m_library = nullptr;
        }
    }

    std::unique_ptr<ResolvedFont> ResolveLocked(const std::string& face)
    {
        auto resolved = std::make_unique<ResolvedFont>();
        resolved->strRequested = face;
        const std::string family = FamilyFor(face);

        FcPattern* pattern = QueryPattern(family, nullptr);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (match != nullptr) {
            resolved->pFace = LoadFace(match);
            const auto families = StringsOf(match, FC_FAMILY);
            resolved->bExact = resolved->pFace != nullptr &&
                               std::any_of(families.begin(), families.end(), [&](const auto& f) {
                                   return SameFamily(f, family);
                               });
            FcPatternDestroy(match);
        }
        if (resolved->pFace != nullptr) {
            resolved->strFamily = resolved->pFace->strFamily;
        }
        if (!resolved->bExact) {
            std::fprintf(stderr, "Orvane: font \"%s\" is not installed; using \"%s\" instead\n",
                         face.c_str(),
                         resolved->pFace ? resolved->strFamily.c_str() : "(no font)");
        }
        return resolved;
    }

    // The face of a fontconfig match, opened once per file and index.
    const FontFace* LoadFace(FcPattern* match)
    {
        FcChar8* file = nullptr;
        int index = 0;
        if (m_library == nullptr || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) {
            return nullptr;
        }
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        auto& slot = m_faces[{reinterpret_cast<const char*>(file), index}];
        if (!slot) {
            FT_Face ft = nullptr;
            if (FT_New_Face(m_library, reinterpret_cast<const char*>(file), index, &ft) != 0) {
                return nullptr;
            }
            slot = std::make_unique<FontFace>();
            slot->ft = ft;
            const auto families = StringsOf(match, FC_FAMILY);
            slot->strFamily = families.empty() ? std::string(ft->family_name ? ft->family_name : "")
                                               : families.front();
        }
        return slot.get();
    }

    // An installed face that has the character, preferring ones like the primary face;
    // null when none has it.
    const FontFace* FallbackFor(const FontFace* primary, char32_t codePoint)
    {
        auto key = std::make_pair(primary, codePoint);
        if (auto found = m_fallbacks.find(key); found != m_fallbacks.end()) {
            return found->second;
        }

        const FontFace* fallback = nullptr;
        FcCharSet* wanted = FcCharSetCreate();
        FcCharSetAddChar(wanted, codePoint);
        FcPattern* pattern = QueryPattern(primary->strFamily, wanted);
        FcCharSetDestroy(wanted);
        FcResult result = FcResultNoMatch;
        FcFontSet* candidates = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
        FcPatternDestroy(pattern);
        for (int i = 0; candidates != nullptr && i < candidates->nfont && !fallback; ++i) {
            FcCharSet* charset = nullptr;
            if (FcPatternGetCharSet(candidates->fonts[i], FC_CHARSET, 0, &charset) !=
                    FcResultMatch ||
                !FcCharSetHasChar(charset, codePoint)) {
                continue;
            }
            const FontFace* face = LoadFace(candidates->fonts[i]);
            if (face != nullptr && FT_Get_Char_Index(face->ft, codePoint) != 0) {
                fallback = face;
            }
        }
        if (candidates != nullptr) {
            FcFontSetDestroy(candidates);
        }
        m_fallbacks[key] = fallback;
        return fallback;
    }

    // Lays the text out on one line with integer advances (no kerning), and renders the
    // glyphs into *pGlyphs when it is given. Returns the extent.
    CSize Layout(const ResolvedFont& font, int pixelHeight, const std::string& text,
                 std::vector<GlyphImage>* pGlyphs)
    {
        const FontFace* primary = font.pFace;
        if (primary == nullptr || pixelHeight <= 0) {
            return CSize{};
        }
        FT_Set_Pixel_Sizes(primary->ft, 0, static_cast<FT_UInt>(pixelHeight));
        const VerticalMetrics metrics = MetricsOf(primary->ft, pixelHeight);

        int penX = 0;
        for (const char32_t codePoint : DecodeUtf8(text)) {
            // A character no face has shows as the primary face's missing-glyph box.
            const FontFace* face = primary;
            FT_UInt glyph = FT_Get_Char_Index(primary->ft, codePoint);
            if (glyph == 0) {
                if (const FontFace* fallback = FallbackFor(primary, codePoint)) {
                    face = fallback;
                    glyph = FT_Get_Char_Index(face->ft, codePoint);
                    FT_Set_Pixel_Sizes(face->ft, 0, static_cast<FT_UInt>(pixelHeight));
                }
            }
            const FT_Int32 flags = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT;
            if (FT_Load_Glyph(face->ft, glyph, flags) != 0) {
                continue;
            }
            FT_GlyphSlot slot = face->ft->glyph;
            if (pGlyphs != nullptr && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) {
                pGlyphs->push_back(CopyGlyph(slot, penX, metrics.ascent));
            }
            penX += static_cast<int>((slot->advance.x + 32) >> 6);
        }
        return CSize{penX, metrics.ascent + metrics.descent};
    }

    static GlyphImage CopyGlyph(FT_GlyphSlot slot, int penX, int ascent)
    {
        const FT_Bitmap& bitmap = slot->bitmap;
        GlyphImage image;
        image.left = penX + slot->bitmap_left;
        image.top = ascent - slot->bitmap_top;
        image.width = static_cast<int>(bitmap.width);
        image.rows = static_cast<int>(bitmap.rows);
        image.coverage.resize(static_cast<std::size_t>(image.width) * image.rows);
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
            return image;
        }
        for (int row = 0; row < image.rows; ++row) {
            const unsigned char* source = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            if (bitmap.pitch < 0) {
                source = bitmap.buffer +
                         static_cast<long>(image.rows - 1 - row) * -static_cast<long>(bitmap.pitch);
            }
            std::copy_n(source, image.width,
                        image.coverage.begin() + static_cast<std::ptrdiff_t>(row) * image.width);
        }
        return image;
    }

    std::mutex m_mutex;
    FT_Library m_library = nullptr;
    std::map<std::string, std::unique_ptr<ResolvedFont>> m_resolved;
    std::map<std::pair<std::string, int>, std::unique_ptr<FontFace>> m_faces;
    std::map<std::pair<const FontFace*, char32_t>, const FontFace*> m_fallbacks;
};

}  // namespace

const ResolvedFont* ResolveFont(const std::string& face)
{
    return FontEngine::Instance().Resolve(face);
}

CSize MeasureText(const ResolvedFont& font, int pixelHeight, const std::string& text)
{
    return FontEngine::Instance().Measure(font, pixelHeight, text);
}

TextImage RenderText(const ResolvedFont& font, int pixelHeight, const std::string& text)
{
    return FontEngine::Instance().Render(font, pixelHeight, text);
}

}  // namespace soft
