#include "cli/output_texts.h"

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

std::string listLine(const ListedProject& project, const ProjectRecord* record) {
    std::string line = project.path + '\t' + project.mask + '\t' +
                       (project.includeSubfolders ? "Yes" : "") + '\t' + project.key + '\t';
    if (record != nullptr)
        line += record->workDir + '\t' + isoLocalTime(record->lastSync);
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
    return line + '\t' + (note.localPath.empty() ? note.recordName : note.localPath);
}

std::string conflictPathOf(std::string_view question) {
    // Where the question puts the path: around it stands the same text for every file.
    constexpr std::string_view Marker = "\x01";
    const std::string framed = conflictQuestion(Marker);
    const std::size_t at = framed.find(Marker);
    const std::string_view before = std::string_view(framed).substr(0, at);
    const std::string_view after = std::string_view(framed).substr(at + Marker.size());
    if (question.size() < before.size() + after.size() || !question.starts_with(before) ||
        !question.ends_with(after)) {
        return "";
    }
    return std::string(
        question.substr(before.size(), question.size() - before.size() - after.size()));
}

}  // namespace ferry::cli
