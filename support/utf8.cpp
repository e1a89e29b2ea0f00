#include "support/utf8.h"

namespace ferry::utf8 {

namespace {

// Marks a byte that is not part of well-formed UTF-8; append() writes it back as is.
constexpr char32_t RawByteBase = 0xDC00;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

char32_t next(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07u;
    }
    if (length == 0 || pos + length > text.size()) {
        ++pos;
        return RawByteBase + lead;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!isContinuation(byte)) {
            ++pos;
            return RawByteBase + lead;
        }
        value = (value << 6) | (byte & 0x3Fu);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return RawByteBase + lead;
    }
    pos += length;
    return value;
}

void append(std::string& out, char32_t cp) {
    if (cp >= RawByteBase + 0x80 && cp <= RawByteBase + 0xFF) {
        out += static_cast<char>(cp - RawByteBase);
    } else if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t foldLetter(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    // Latin-1: À..Þ except the multiplication sign.
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
    // Latin Extended-A pairs upper/lower alternately; the runs flip parity at 0x139.
    if (cp >= 0x100 && cp <= 0x137) return cp | 1u;
    if (cp >= 0x139 && cp <= 0x148) return (cp & 1u) ? cp + 1 : cp;
    if (cp >= 0x14A && cp <= 0x177) return cp | 1u;
    if (cp == 0x178) return 0xFF;
    if (cp >= 0x179 && cp <= 0x17E) return (cp & 1u) ? cp + 1 : cp;
    // Greek.
    if (cp == 0x386) return 0x3AC;
    if (cp >= 0x388 && cp <= 0x38A) return cp + 37;
    if (cp == 0x38C) return 0x3CC;
    if (cp == 0x38E || cp == 0x38F) return cp + 63;
    if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) return cp + 32;
    // Cyrillic.
    if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
    if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
    return cp;
}

}  // namespace ferry::utf8
