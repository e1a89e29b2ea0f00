#pragma once

// UTF-8 walking and letter folding shared by lowerText and matchesMask.

#include <cstddef>
#include <string>
#include <string_view>

namespace ferry::utf8 {

// Decodes the code point at `pos` and advances `pos` past it. A malformed byte stands
// for itself (as U+DC80 + byte would in other tools), so any byte string can be walked.
char32_t next(std::string_view text, std::size_t& pos);

void append(std::string& out, char32_t codePoint);

// The lower-case letter for an upper-case one of the Latin, Greek and Cyrillic blocks;
// every other code point unchanged.
char32_t foldLetter(char32_t codePoint);

}  // namespace ferry::utf8
