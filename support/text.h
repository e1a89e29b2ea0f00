#pragma once

// Text helpers. Texts are UTF-8 byte strings; positions are 1-based, as the rest of
// the program counts them.

#include <cstdint>
#include <string>
#include <string_view>

namespace ferry {

// Signed decimal, no padding; the smallest int32 comes out whole.
std::string intToDecimal(std::int32_t value);

// Upper-case hexadecimal, zero-filled to at least `digits` (at most 15 honoured) and
// never cut; always at least one digit.
std::string intToHex(std::uint32_t value, std::int32_t digits);

// Drops every byte of code 32 or less from both ends. Works on the text up to its first
// NUL byte, as a C string would.
std::string trimBlanks(std::string_view text);

// The text from the 1-based `position` on; positions below 1 count as 1, past the end
// give "". One of the text helpers the program's texts are built with, though none of
// today's needs it.
std::string tailFrom(std::string_view text, std::int32_t position);

// Returns the text before the first byte that is any of `separators` and leaves what
// follows that separator in `text`. Without a separator: returns all and empties `text`.
std::string takeToken(std::string& text, std::string_view separators);

// Lower-cased copy. Folds every letter of the Latin, Greek and Cyrillic alphabets, not
// only A-Z, so masks ignore case the way a user reads it.
std::string lowerText(std::string_view text);

// Byte comparison that folds only a-z to upper case. 0 when equal, otherwise the
// difference of the first differing folded bytes (0-255 each).
std::int32_t compareTextAscii(std::string_view a, std::string_view b);

}  // namespace ferry
