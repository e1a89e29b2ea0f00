#pragma once

// The texts the command line prints, built apart from the printing.

#include <string>
#include <string_view>

#include "settings/project_catalogue.h"
#include "sync/sync_run.h"
#include "sync/user_prompt.h"

namespace ferry::cli {

// The engine's texts end lines with "\r\n"; a terminal and a script want "\n".
std::string withUnixLineEnds(std::string_view text);

// "2024-05-17T18:30:15" in local time; "" for a time never set.
std::string isoLocalTime(DateTime value);

// A name or mask as one field of a tab-separated line: a backslash, tab, newline,
// carriage return and every other control character escaped C-style ("\\", "\t", "\n",
// "\r", "\x01"), so the line still splits at its tabs.
std::string escapedField(std::string_view text);
// The text an escaped field stood for; a backslash starting no known escape stays as is.
std::string unescapedField(std::string_view field);

// One line of `list`: path, mask, "Yes" or "", key, work directory, last
// synchronization, tab-separated. `record` may be null (never synchronized here).
std::string listLine(const ListedProject& project, const ProjectRecord* record);

// One line of a dry run: what would happen, a tab, the file; "" for a file kept as it
// is. `askedInRealRun`: no answer was given and a real run would ask on the terminal.
std::string decisionLine(const FileDecisionNote& note, bool askedInRealRun);

// The local path of the file named in a conflict question; "" when the text is none.
std::string conflictPathOf(std::string_view question);

}  // namespace ferry::cli
