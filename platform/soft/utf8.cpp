#include "platform/soft/utf8.h"

namespace soft {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::u32string DecodeUtf8(const std::string& text)
{
    std::u32string result;
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = 0;
        char32_t codePoint = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            codePoint = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
            minimum = 0x10000;
        }
        bool wellFormed = length > 0 && i + length <= size;
        for (int k = 1; wellFormed && k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            wellFormed = IsContinuation(byte);
            codePoint = (codePoint << 6) | (byte & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are ill-formed too.
        wellFormed = wellFormed && codePoint >= minimum && codePoint <= 0x10FFFF &&
                     !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
        if (wellFormed) {
            result.push_back(codePoint);
            i += length;
        } else {
            result.push_back(kReplacement);
            ++i;
        }
    }
    return result;
}

}  // namespace soft
