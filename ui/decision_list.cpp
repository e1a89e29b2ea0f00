#include "ui/decision_list.h"

namespace ferry {
namespace {

std::string answerText(ConflictAnswer answer) {
    switch (answer) {
        case ConflictAnswer::Yes:
        case ConflictAnswer::YesToAll: return "the medium's copy replaces it, kept as .old";
        case ConflictAnswer::Cancel: return "left undecided; the project stops";
        case ConflictAnswer::No:
        case ConflictAnswer::NoToAll:
        case ConflictAnswer::None: break;
    }
    return "both copies stay as they are";
}

std::string decisionText(const FileDecisionNote& note) {
    switch (note.decision) {
        case FileDecision::ReplaceOnMedium: return "replaced on the medium (newer on disk)";
        case FileDecision::ReplaceOnDisk:
            return "replaced on disk, the old copy kept as .old (newer on the medium)";
        case FileDecision::CreateOnDisk: return "added to the project (only on the medium)";
        case FileDecision::AddToMedium: return "added to the medium (new in the project)";
        case FileDecision::DropFromMedium:
            return "removed from the medium (no longer in the project)";
        case FileDecision::Question: return "changed on both sides: " + answerText(note.answer);
        case FileDecision::Keep: break;
    }
    return "";
}

}  // namespace

std::string decisionLines(const std::vector<FileDecisionNote>& decisions) {
    std::string lines;
    for (const FileDecisionNote& note : decisions) {
        const std::string what = decisionText(note);
        if (what.empty()) continue;
        const std::string& file = note.localPath.empty() ? note.recordName : note.localPath;
        lines += (lines.empty() ? "" : "\n") + file + ": " + what;
    }
    return lines;
}

}  // namespace ferry
