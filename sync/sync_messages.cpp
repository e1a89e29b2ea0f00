#include "sync/sync_messages.h"

#include <algorithm>
#include <cctype>

#include "archive/media_archive.h"
#include "support/text.h"

namespace ferry {
namespace {

// "1,234,567": a size the eye can read at once.
std::string groupedDigits(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3 && std::isdigit(digits[at - 4]); at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

std::string copyText(DateTime time, std::uint64_t size) {
    return dateTimeToText(time) + ", " + groupedDigits(size) + " bytes";
}

}  // namespace

std::string cannotOpenFileMessage(std::string_view path) {
    return "Can not open file " + std::string(path);
}

std::string conflictQuestion(std::string_view localPath) {
    return "File " + std::string(localPath) + " in project on disk is " +
           "newer then on media, but media last sync time is " +
           "greater then project last sync time. Update file on " +
           "disk? (old version will be saved with extension .old)";
}

std::string conflictQuestion(std::string_view localPath, const ConflictCopies& copies) {
    return conflictQuestion(localPath) +
           "\r\nOn disk: " + copyText(copies.diskTime, copies.diskSize) +
           "\r\nOn the medium: " + copyText(copies.mediumTime, copies.mediumSize);
}

std::string oldArchiveNotDeletedMessage(std::string_view archivePath, std::string_view projectPath,
                                        std::string_view errorText) {
    return "Could not replace file " + std::string(archivePath) + " for project " +
           std::string(projectPath) + " (old version did not delete on media, error " +
           std::string(errorText) + ")";
}

std::string archiveNotWrittenMessage(std::string_view archivePath, std::string_view projectPath,
                                     ErrorKind why) {
    const std::string reason =
        why == ErrorKind::ReadOnly       ? "the medium is read-only: nothing can be written on it"
        : why == ErrorKind::AccessDenied ? "this user may not write on the medium"
                                         : "may be no space on media or media removed";
    return "Could not replace file " + std::string(archivePath) + " for project " +
           std::string(projectPath) + " (" + reason + ")";
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

std::string maskListTooLongMessage(std::string_view mask) {
    // The start of the list names it; all of it would fill the screen.
    constexpr std::size_t Shown = 60;
    std::size_t cut = std::min(mask.size(), Shown);
    while (cut > 0 && cut < mask.size() && (static_cast<unsigned char>(mask[cut]) & 0xC0) == 0x80)
        --cut;
    return "The mask list " + std::string(mask.substr(0, cut)) + (cut < mask.size() ? "..." : "") +
           " (" + std::to_string(mask.size()) +
           " bytes) is too long: an archive's header holds at most " +
           std::to_string(LongestArchiveText) + " bytes of project path and mask list";
}

std::string archivePutBackMessage(std::string_view archivePath) {
    return "The archive " + std::string(archivePath) +
           " was put back from this machine's copy: the run that wrote it was cut off";
}

std::string archiveNotPutBackMessage(std::string_view archivePath, std::string_view errorText) {
    return "The archive " + std::string(archivePath) +
           " was cut off while it was written, and this machine's copy of it could not be "
           "put back (" +
           std::string(errorText) + "); the copy is kept for the next run";
}

std::string projectOnMediumMessage(std::string_view key) {
    return "the project is on the medium already: " + std::string(key);
}

std::string runInProgressMessage() {
    return "Another synchronization is in progress; try again when it has ended";
}

std::string newProjectQuestion(std::string_view projectPath) {
    return "The medium carries the project " + std::string(projectPath) +
           ", which is new to this machine. Create it in the folder " + std::string(projectPath) +
           "? (Choose a work directory: it is kept in a folder you pick; No: it is skipped)";
}

std::string newProjectWaitingMessage(std::string_view projectPath) {
    return "The project " + std::string(projectPath) +
           " on the medium is new to this machine and was not written anywhere: accept it, "
           "or set a work directory for it, to synchronize it";
}

std::string foreignFilesMessage(std::string_view projectPath, std::string_view foreignFile) {
    return "The project " + std::string(projectPath) +
           " was not synchronized: its folder on this machine holds files the medium does not "
           "carry (" +
           std::string(foreignFile) +
           "), which would be mixed into it; set an empty work directory for it, or move them";
}

std::string workDirNeededMessage(std::string_view projectPath) {
    return "The project " + std::string(projectPath) +
           " has no folder on this machine: set a work directory for it first";
}

std::string noMediumMessage(std::string_view projectPath) {
    return "No medium is chosen: the project " + std::string(projectPath) + " was not synchronized";
}

std::string unsafeArchiveMessage(std::string_view archivePath) {
    return "The archive " + std::string(archivePath) +
           " on the medium is damaged or names files outside its project; the project "
           "was left unchanged";
}

std::string cannotReadFileMessage(std::string_view path, std::string_view errorText) {
    return "Could not read file " + std::string(path) + " (" + std::string(errorText) + ")";
}

std::string cannotWriteFileMessage(std::string_view path, std::string_view errorText) {
    return "Could not write file " + std::string(path) + " (" + std::string(errorText) +
           "); the previous version was kept";
}

std::string pathTakenMessage(std::string_view path) {
    return "Could not create file " + std::string(path) +
           ": something that is no listed file is already there";
}

std::string linkInWayMessage(std::string_view path, std::string_view link) {
    return "Could not write file " + std::string(path) + ": " + std::string(link) +
           " is a link, and files from the medium are never written through links; the "
           "project was not synchronized";
}

std::string listingFailedMessage(std::string_view folder, std::string_view errorText) {
    return "Could not list folder " + std::string(folder) + " (" + std::string(errorText) + ")";
}

std::string caseTwinsMessage(std::string_view first, std::string_view second) {
    return "The files " + std::string(first) + " and " + std::string(second) +
           " differ only in letter case: the medium can not carry both";
}

std::string uncarriableNameMessage(std::string_view path) {
    return "The file name " + std::string(path) +
           " holds \\, which separates folders in this project: the medium can not carry it";
}

std::string pathTooLongMessage(std::string_view path) {
    return "The file " + std::string(path) +
           " can not be created here: a name in its path, or the path, is longer than this "
           "system allows; it stays on the medium";
}

std::string fileTooLargeMessage(std::string_view path) {
    return "The file " + std::string(path) + " is too large for the medium (4 GB or more)";
}

std::string projectTooLargeMessage(std::string_view projectPath) {
    return "The project " + std::string(projectPath) +
           " is too large for one archive (4 GB or more compressed)";
}

std::string mediumGoneMessage(std::string_view mediumFolder) {
    return "The medium " + std::string(mediumFolder) +
           " is not there any more; the synchronization stopped";
}

std::string cutArchiveFinishedMessage(std::string_view temporaryPath) {
    return "The file " + std::string(temporaryPath) +
           " was left by a run cut off before it could put it in place; it holds a whole "
           "archive, the only copy of its project on the medium, and was put in place";
}

std::string cutArchiveRemovedMessage(std::string_view temporaryPath) {
    return "The file " + std::string(temporaryPath) +
           " was left by a run cut off while it wrote a new archive; it was not whole and "
           "was removed";
}

std::string syncReportText(std::string_view mediumFolder, const SyncCounters& counters) {
    return "Done (Media: " + std::string(mediumFolder) + ")\r\n" +
           intToDecimal(counters.replacedOnMedia) + " - Replaced on Media\r\n" +
           intToDecimal(counters.replacedInProjects) + " - Replaced in projects\r\n" +
           intToDecimal(counters.addedToProjects) + " - Added to projects\r\n" +
           intToDecimal(counters.addedNewFiles) + " - Added new files to prjects\r\n" +
           intToDecimal(counters.removedFromMedia) + " - Removed from Media" +
           (counters.uncarriedFiles == 0
                ? std::string()
                : "\r\n" + intToDecimal(counters.uncarriedFiles) + " - Files not carried");
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
