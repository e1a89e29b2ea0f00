#include "sync/sync_messages.h"

#include "support/text.h"

namespace ferry {

std::string cannotOpenFileMessage(std::string_view path) {
    return "Can not open file " + std::string(path);
}

std::string conflictQuestion(std::string_view localPath) {
    return "File " + std::string(localPath) + " in project on disk is " +
           "newer then on media, but media last sync time is " +
           "greater then project last sync time. Update file on " +
           "disk? (old version will be saved with extension .old)";
}

std::string oldArchiveNotDeletedMessage(std::string_view archivePath, std::int32_t projectNumber,
                                        std::string_view errorText) {
    return "Could not replace file " + std::string(archivePath) + " for project " +
           intToDecimal(projectNumber) + "(old version did not delete on media, error" +
           std::string(errorText) + ")";
}

std::string archiveNotWrittenMessage(std::string_view archivePath, std::int32_t projectNumber) {
    return "Could not replace file " + std::string(archivePath) + " for project " +
           intToDecimal(projectNumber) + "(may be no space on media or media removed)";
}

std::string archiveNotRestoredMessage(std::string_view archivePath) {
    return "Could not restore file " + std::string(archivePath) + " with old version ";
}

std::string clockWarning(DateTime stamp, DateTime current, std::string_view projectPath) {
    return "Time is not good synchronized with source machine \r\n(source time was " +
           dateTimeToText(stamp) + " but current time\r\n" + "on this machine is " +
           dateTimeToText(current) + ")\r\n" + "Project path: " + std::string(projectPath);
}

std::string projectPathCommaMessage(std::string_view projectPath) {
    return "The project path " + std::string(projectPath) +
           " contains \",\": the medium can not carry it";
}

std::string projectPathUnfitMessage(std::string_view projectPath) {
    return "The project path " + std::string(projectPath) +
           " can not be carried: a removable medium can not name its archive "
           "(no * ? < > | \" or control characters, at most 255 bytes)";
}

std::string runInProgressMessage() {
    return "Another synchronization is in progress; try again when it has ended";
}

std::string syncReportText(std::string_view mediumFolder, const SyncCounters& counters) {
    return "Done (Media: " + std::string(mediumFolder) + ")\r\n" +
           intToDecimal(counters.replacedOnMedia) + " - Replaced on Media\r\n" +
           intToDecimal(counters.replacedInProjects) + " - Replaced in projects\r\n" +
           intToDecimal(counters.addedToProjects) + " - Added to projects\r\n" +
           intToDecimal(counters.addedNewFiles) + " - Added new files to prjects\r\n" +
           intToDecimal(counters.removedFromMedia) + " - Removed from Media";
}

ConflictAnswer conflictAnswerOf(std::int32_t choice) {
    switch (choice) {
        case 1: return ConflictAnswer::Yes;
        case 2: return ConflictAnswer::YesToAll;
        case 3: return ConflictAnswer::No;
        case 4: return ConflictAnswer::NoToAll;
        case 5: return ConflictAnswer::Cancel;
        default: return ConflictAnswer::None;
    }
}

}  // namespace ferry
