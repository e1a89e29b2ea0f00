#include "support/mask.h"

#include <string>

#include "support/utf8.h"

namespace ferry {

namespace {

bool isAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// Iterative wildcard match with one backtrack point: the last "*" seen and the name
// position it was tried at. Equivalent to trying every split, without the recursion.
template <typename Seq, typename Fold>
bool globMatch(const Seq& name, const Seq& mask, Fold fold) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = Seq::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == '?' || fold(mask[m]) == fold(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != Seq::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

std::u32string foldedCodePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) out += utf8::foldLetter(utf8::next(text, pos));
    return out;
}

}  // namespace

bool matchesMask(std::string_view name, std::string_view mask) {
    if (name.empty()) return false;
    if (isAscii(name) && isAscii(mask)) {
        return globMatch(name, mask, [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        });
    }
    return globMatch(foldedCodePoints(name), foldedCodePoints(mask), [](char32_t c) { return c; });
}

}  // namespace ferry
