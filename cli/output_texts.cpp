#include "cli/output_texts.h"

#include <cctype>
#include <cstdio>

#include "sync/sync_messages.h"

namespace ferry::cli {

namespace {

std::string_view answerName(ConflictAnswer answer) {
    switch (answer) {
        case ConflictAnswer::Yes: return "yes";
        case ConflictAnswer::YesToAll: return "yes to all";
        case ConflictAnswer::No: return "no";
        case ConflictAnswer::NoToAll: return "no to all";
        case ConflictAnswer::Cancel: return "cancel";
        case ConflictAnswer::None: break;
    }
    return "none (no)";
}

std::string_view decisionName(FileDecision decision) {
    switch (decision) {
        case FileDecision::ReplaceOnMedium: return "replace on medium";
        case FileDecision::ReplaceOnDisk: return "replace in project, keep .old";
        case FileDecision::CreateOnDisk: return "add to project";
        case FileDecision::AddToMedium: return "add to medium";
        case FileDecision::DropFromMedium: return "remove from medium";
        case FileDecision::Question: return "question";
        case FileDecision::Keep: break;
    }
    return "";
}

// The letter of a one-letter escape and the character it stands for.
constexpr std::string_view EscapeLetters = "\\tnr";
constexpr std::string_view EscapedCharacters = "\\\t\n\r";

// '\0' when the character has no one-letter escape.
char escapeLetterOf(char c) {
    const std::size_t at = EscapedCharacters.find(c);
    return at == std::string_view::npos ? '\0' : EscapeLetters[at];
}

char characterOfEscape(char letter) {
    const std::size_t at = letter == '\0' ? std::string_view::npos : EscapeLetters.find(letter);
    return at == std::string_view::npos ? '\0' : EscapedCharacters[at];
}

}  // namespace

std::string withUnixLineEnds(std::string_view text) {
    std::string unix;
    unix.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        unix.push_back(text[i]);
    }
    return unix;
}

std::string isoLocalTime(DateTime value) {
    SystemTime time;
    if (value == 0.0 || !dateTimeToSystemTime(value, time)) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", unsigned{time.year},
                  unsigned{time.month}, unsigned{time.day}, unsigned{time.hour},
                  unsigned{time.minute}, unsigned{time.second});
    return text;
}

std::string escapedField(std::string_view text) {
    std::string field;
    field.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (const char letter = escapeLetterOf(c); letter != '\0') {
            field += '\\';
            field += letter;
        } else if (code < 0x20 || code == 0x7f) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", unsigned{code});
            field += escape;
        } else {
            field += c;
        }
    }
    return field;
}

std::string unescapedField(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char next = i + 1 < field.size() ? field[i + 1] : '\0';
        const char escaped = field[i] == '\\' ? characterOfEscape(next) : '\0';
        if (escaped != '\0') {
            text += escaped;
            ++i;
        } else if (field[i] == '\\' && next == 'x' && i + 3 < field.size() &&
                   std::isxdigit(static_cast<unsigned char>(field[i + 2])) &&
                   std::isxdigit(static_cast<unsigned char>(field[i + 3]))) {
            text += static_cast<char>(std::stoi(std::string(field.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::string listLine(const ListedProject& project, const ProjectRecord* record) {
    std::string line = escapedField(project.path) + '\t' + escapedField(project.mask) + '\t' +
                       (project.includeSubfolders ? "Yes" : "") + '\t' + escapedField(project.key) +
                       '\t';
    if (record != nullptr)
        line += escapedField(record->workDir) + '\t' + isoLocalTime(record->lastSync);
    else
        line += '\t';
    return line;
}

std::string decisionLine(const FileDecisionNote& note, bool askedInRealRun) {
    const std::string_view name = decisionName(note.decision);
    if (name.empty()) return "";
    std::string line(name);
    if (note.decision == FileDecision::Question) {
        line += askedInRealRun ? ", asked (no assumed here)"
                               : ", answer " + std::string(answerName(note.answer));
    }
    return line + '\t' + escapedField(note.localPath.empty() ? note.recordName : note.localPath);
}

std::string conflictPathOf(std::string_view question) {
    // Where the question puts the path: around it stands the same text for every file,
    // and then the lines about both copies.
    constexpr std::string_view Marker = "\x01";
    const std::string framed = conflictQuestion(Marker);
    const std::size_t at = framed.find(Marker);
    const std::string_view before = std::string_view(framed).substr(0, at);
    const std::string_view after = std::string_view(framed).substr(at + Marker.size());
    const std::size_t end = question.rfind(after);
    if (!question.starts_with(before) || end == std::string_view::npos || end < before.size())
        return "";
    return std::string(question.substr(before.size(), end - before.size()));
}

}  // namespace ferry::cli
