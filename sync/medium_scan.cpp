#include "sync/medium_scan.h"

#include <optional>
#include <string>

#include "archive/archive_replacement.h"
#include "archive/in_place_change.h"
#include "archive/media_archive.h"
#include "archive/medium_write_time.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "support/paths.h"
#include "sync/run_lock.h"
#include "sync/sync_messages.h"

namespace ferry {

namespace {

// A run of ours leaves the UTC time of its write, compared with this machine's UTC clock;
// two minutes cover clocks set by hand.
constexpr std::int64_t UtcSlackTicks = 2 * 60 * FileTicksPerSecond;
// Without it only the archives' local stamps are there: zones lie up to 14 hours apart
// (UTC+14 to UTC-12 within a day's reach), so only a stamp further ahead tells a clock
// behind.
constexpr DateTime LocalStampSlack = 14.0 / 24.0;

// The medium's last write as this machine's local time, when this machine's clock has
// not reached it.
std::optional<DateTime> writeAheadOfClock(Platform& system, const std::optional<FileTime>& written,
                                          DateTime stamp) {
    if (!written) {
        if (now(system) + LocalStampSlack > stamp) return std::nullopt;
        return stamp;
    }
    if (system.currentTime().ticks + UtcSlackTicks > written->ticks) return std::nullopt;
    DateTime local = 0;
    (void)fileTimeToDateTime(system, *written, local);
    return local;
}

// Why the file can not be opened for reading; none when it can.
SystemError openingError(Platform& system, const std::string& path) {
    const SystemResult<FileHandle> opened =
        system.openFile(path, FileAccess::Read, FileCreation::OpenExisting);
    if (opened.value != InvalidFileHandle) (void)system.closeFile(opened.value);
    return opened.error;
}

// First archives whose writing was cut off before their rename: finished when whole,
// else removed. Only while no run holds the medium, for a run writes such files.
void settleCutFirstWrites(Platform& system, std::string_view mediumFolder, UserPrompt& prompt) {
    const FolderListing cut = listFolderWithMask(
        system, withTrailingSeparator(mediumFolder) + std::string(MediaFolderName),
        temporaryArchivePath(std::string("*").append(ArchiveExtension)), FileAttributeNormal);
    if (cut.count() == 0) return;
    const RunLock lock = acquireRunLock({system, {}}, mediumFolder, RunLockUse::Preview);
    if (!lock.held()) return;
    for (std::int32_t i = 0; i < cut.count(); ++i) {
        const std::string path = cut.path() + cut.name(i);
        switch (settleCutFirstWrite(system, path)) {
            case CutFirstWrite::Finished:
                prompt.showMessage(cutArchiveFinishedMessage(path));
                break;
            case CutFirstWrite::Removed: prompt.showMessage(cutArchiveRemovedMessage(path)); break;
            case CutFirstWrite::Kept: break;
        }
    }
}

// In-place changes of archives whose run was cut off: finished from their redo files.
// Only while no run holds the medium, for a run writes them.
void finishCutChangesWhileFree(Platform& system, std::string_view mediumFolder) {
    const RunLock lock = acquireRunLock({system, {}}, mediumFolder, RunLockUse::Preview);
    if (lock.held()) finishCutChanges(system, mediumFolder);
}

}  // namespace

std::string mediumFolderOf(Platform& system, std::string_view text) {
    return !text.empty() && folderExists(system, text) ? withTrailingSeparator(text)
                                                       : std::string();
}

MediumScan scanMedium(Platform& system, std::string_view mediumFolder, UserPrompt& prompt) {
    MediumScan scan;
    // Without a medium there is nothing to list (the current folder is no medium).
    if (mediumFolder.empty()) return scan;
    settleCutFirstWrites(system, mediumFolder, prompt);
    finishCutChangesWhileFree(system, mediumFolder);
    const FolderListing listing = listFolderWithMask(
        system, withTrailingSeparator(mediumFolder) + std::string(MediaFolderName),
        std::string("*").append(ArchiveExtension), FileAttributeNormal | FileAttributeDirectory);
    if (listing.failure().error.failed()) {
        prompt.showMessage(cannotReadFileMessage(listing.failure().path,
                                                 systemErrorText(listing.failure().error)));
        ++scan.unreadable;
    }
    const std::optional<FileTime> written = mediumWriteTime(system, mediumFolder);
    for (std::int32_t i = 0; i < listing.count(); ++i) {
        if (listing.isFolder(i)) continue;
        const std::string key = listing.path() + listing.name(i);
        DateTime stamp = 0;
        const std::optional<ArchiveHeader> header = readProjectHead(system, key, stamp);
        if (!header) {
            // A file that is no archive of ours is passed over; one that can not be read
            // may well be one.
            if (const SystemError error = openingError(system, key); error.failed()) {
                prompt.showMessage(cannotReadFileMessage(key, systemErrorText(error)));
                ++scan.unreadable;
            }
            continue;
        }
        // The medium must have been written before now by this machine's clock; a
        // machine whose clock lags would take its own older files for newer ones.
        if (const std::optional<DateTime> ahead = writeAheadOfClock(system, written, stamp)) {
            prompt.showMessage(clockWarning(*ahead, now(system), header->projectPath));
            scan.clockRefused = true;
        }
        scan.projects.push_back(
            {header->projectPath, header->maskList, header->includeSubfolders, key});
    }
    return scan;
}

}  // namespace ferry
