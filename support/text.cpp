#include "support/text.h"

#include <algorithm>
#include <utility>

#include "support/utf8.h"

namespace ferry {

std::string intToDecimal(std::int32_t value) {
    return std::to_string(value);
}

std::string intToHex(std::uint32_t value, std::int32_t digits) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out += hexDigits[value & 0xFu];
        value >>= 4;
    } while (value != 0);
    const auto wanted = static_cast<std::size_t>(std::clamp(digits, 0, 15));
    if (out.size() < wanted) out.append(wanted - out.size(), '0');
    std::reverse(out.begin(), out.end());
    return out;
}

std::string trimBlanks(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

std::string tailFrom(std::string_view text, std::int32_t position) {
    const auto start = static_cast<std::size_t>(std::max(position, 1) - 1);
    if (start >= text.size()) return {};
    return std::string(text.substr(start));
}

std::string takeToken(std::string& text, std::string_view separators) {
    const auto cut = text.find_first_of(separators);
    if (cut == std::string::npos) return std::exchange(text, {});
    std::string token = text.substr(0, cut);
    text.erase(0, cut + 1);
    return token;
}

std::string lowerText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            out += static_cast<char>((byte >= 'A' && byte <= 'Z') ? byte + 32 : byte);
            ++pos;
        } else {
            utf8::append(out, utf8::foldLetter(utf8::next(text, pos)));
        }
    }
    return out;
}

std::int32_t compareTextAscii(std::string_view a, std::string_view b) {
    const auto fold = [](char c) -> std::int32_t {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= 'a' && byte <= 'z') ? byte - 32 : byte;
    };
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const std::int32_t diff = fold(a[i]) - fold(b[i]);
        if (diff != 0) return diff;
    }
    // The shorter text ends with its NUL, which is below every other byte.
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -fold(b[common]) : fold(a[common]);
}

}  // namespace ferry
