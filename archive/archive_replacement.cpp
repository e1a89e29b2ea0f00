#include "archive/archive_replacement.h"

#include <cerrno>
#include <optional>

#include "compress/file_stream.h"
#include "platform/files.h"
#include "support/paths.h"
#include "platform/system_error.h"
#include "archive/media_archive.h"
#include "sync/sync_messages.h"

namespace ferry {
namespace {

constexpr std::string_view TemporarySuffix = ".new";

struct FileWrite {
    int error = 0;  // 0 when the file is complete and flushed
    bool stopped = false;
    bool unmade = false;  // the payload's rest could not be made
    FileTime time;        // its last-write time once written
};

// A payload whose bytes after `readyBytes` are made by `make` (see NewArchive).
struct PayloadRest {
    std::uint32_t readyBytes = 0;
    std::function<bool()> make;
};

// A medium too small for the old and the new archive side by side; a failing or
// vanished medium is none of these.
bool isLackOfRoom(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// Copies `count` bytes of the payload into the file; false when that ended early.
bool copyPayload(Stream& file, Stream& payload, std::uint32_t count, ProjectProgress& progress,
                 StopRequests stops, FileWrite& result) {
    const Copied copied = copyWithProgress(file, payload, count, progress, stops);
    result.stopped = copied.stopped;
    if (copied.bytes != count && !copied.stopped) result.error = shortWriteCause(file);
    return copied.bytes == count && !copied.stopped;
}

// Header, stamp and payload into a new file, flushed to the medium before it is closed.
// A payload still being made goes in two steps: its ready bytes, started towards the
// medium while the rest is made, then the rest.
FileWrite writeArchiveFile(const std::string& path, std::string_view headerText, DateTime stamp,
                           Stream& payload, ProjectProgress& progress, StopRequests stops,
                           const PayloadRest& rest = {}) {
    Platform& system = platform();
    FileWrite result;
    StreamPtr file = createWriteFileStream(path);
    const FileHandle handle = getHandle(*file);
    if (handle == InvalidFileHandle) {
        result.error = system.lastError();
        return result;
    }
    setPosition(payload, 0);
    std::uint32_t written = 0;
    if (!writeArchiveHead(*file, headerText, stamp)) {
        result.error = shortWriteCause(*file);
    } else if (rest.make && copyPayload(*file, payload, rest.readyBytes, progress, stops, result)) {
        written = rest.readyBytes;
        system.startFlushing(handle);
        result.unmade = !rest.make();
    }
    if (result.error == 0 && !result.stopped && !result.unmade) {
        const std::uint32_t size = getSize(payload);
        setPosition(payload, written);
        copyPayload(*file, payload, size - written, progress, stops, result);
    }
    if (result.error == 0 && !result.stopped && !result.unmade) {
        if (!system.flushFile(handle) || !system.lastWriteTime(handle, result.time))
            result.error = system.lastError();
    }
    if (!closeFileStream(file) && result.error == 0 && !result.stopped && !result.unmade)
        result.error = system.lastError();
    return result;
}

// The folder's entries reach the medium too; a file system that cannot flush a folder
// is no failure.
int flushArchiveFolder(const std::string& archivePath) {
    Platform& system = platform();
    if (system.flushFolder(folderOf(archivePath))) return 0;
    const int error = system.lastError();
    return error == EINVAL || error == ENOTSUP ? 0 : error;
}

bool setArchiveTime(const std::string& path, FileTime time) {
    const FileHandle handle = openFileHandle(
        path, OpenFlags::GenericRead | OpenFlags::GenericWrite | OpenFlags::OpenExisting);
    if (handle == InvalidFileHandle) return false;
    const bool set = platform().setLastWriteTime(handle, time);
    return closeFileHandle(handle) && set;
}

// lastSync becomes the archive's time, so that both say the same synchronization.
void takeArchiveTime(FileTime time, DateTime& lastSync) {
    DateTime value = 0;
    if (fileTimeToDateTime(time, value)) lastSync = value;
}

// The old way, for a medium without room for two archives: delete, write, and when that
// fails too, write the old payload back with its old time.
ArchiveWriteEnd overwriteArchive(const NewArchive& archive, const OldArchive& old,
                                 std::int32_t projectNumber, DateTime stamp, UserPrompt& prompt,
                                 ProjectProgress& progress, DateTime& lastSync) {
    Platform& system = platform();
    if (!old.path.empty() && fileExists(old.path) && !system.removeFile(old.path)) {
        prompt.showMessage(oldArchiveNotDeletedMessage(
            old.path, projectNumber,
            systemErrorText(static_cast<std::uint32_t>(system.lastError()))));
        return ArchiveWriteEnd::Failed;
    }
    const FileWrite written = writeArchiveFile(archive.path, archive.headerText, stamp,
                                               *archive.payload, progress, StopRequests::Ignore);
    if (written.error == 0) {
        flushArchiveFolder(archive.path);
        takeArchiveTime(written.time, lastSync);
        return ArchiveWriteEnd::Written;
    }
    prompt.showMessage(archiveNotWrittenMessage(archive.path, projectNumber));
    if (!system.removeFile(archive.path)) {
        prompt.showMessage(archiveNotRestoredMessage(archive.path));
        return ArchiveWriteEnd::Failed;
    }
    if (old.path.empty()) return ArchiveWriteEnd::Failed;
    // The old archive comes back as it was, to the byte and with its time: to this
    // machine and to others the medium is as before, so lastSync stays as it was too.
    const FileWrite restored = writeArchiveFile(old.path, old.headerText, old.stamp, *old.payload,
                                                progress, StopRequests::Ignore);
    if (restored.error != 0 || !setArchiveTime(old.path, old.time)) {
        prompt.showMessage(archiveNotRestoredMessage(old.path));
    }
    flushArchiveFolder(old.path);
    return ArchiveWriteEnd::Failed;
}

}  // namespace

std::string temporaryArchivePath(std::string_view archivePath) {
    return std::string(archivePath) + std::string(TemporarySuffix);
}

void removeStrayTemporaryArchive(std::string_view archivePath) {
    const std::string temporary = temporaryArchivePath(archivePath);
    if (fileExists(archivePath) && fileExists(temporary)) platform().removeFile(temporary);
}

ArchiveWriteEnd replaceArchive(const NewArchive& archive, const OldArchive& old,
                               std::int32_t projectNumber, UserPrompt& prompt,
                               ProjectProgress& progress, DateTime& lastSync) {
    Platform& system = platform();
    const std::string temporary = temporaryArchivePath(archive.path);
    const DateTime stamp = now();
    // The payload is made whole once: while its ready bytes go out, or before it is
    // written the other way.
    std::optional<bool> made;
    PayloadRest rest;
    if (archive.complete) {
        rest.readyBytes = archive.readyBytes;
        rest.make = [&] {
            if (!made) {
                made = archive.complete();
                if (*made) progress.expect(getSize(*archive.payload) - archive.readyBytes);
            }
            return *made;
        };
    }
    progress.expect(archive.complete ? archive.readyBytes : getSize(*archive.payload));
    FileWrite written = writeArchiveFile(temporary, archive.headerText, stamp, *archive.payload,
                                         progress, StopRequests::End, rest);
    if (written.error == 0 && !written.stopped && !written.unmade)
        written.error = flushArchiveFolder(temporary);
    if (written.stopped || written.unmade || written.error != 0) {
        system.removeFile(temporary);
        if (written.stopped) return ArchiveWriteEnd::Stopped;
        if (written.unmade) return ArchiveWriteEnd::Unmade;
        if (isLackOfRoom(written.error)) {
            if (rest.make && !rest.make()) return ArchiveWriteEnd::Unmade;
            return overwriteArchive(archive, old, projectNumber, stamp, prompt, progress, lastSync);
        }
        prompt.showMessage(archiveNotWrittenMessage(archive.path, projectNumber));
        return ArchiveWriteEnd::Failed;
    }
    if (!system.renameReplace(temporary, archive.path)) {
        system.removeFile(temporary);
        prompt.showMessage(archiveNotWrittenMessage(archive.path, projectNumber));
        return ArchiveWriteEnd::Failed;
    }
    flushArchiveFolder(archive.path);
    takeArchiveTime(written.time, lastSync);
    // An archive under a new name (the mask list or the subfolder flag changed) replaces
    // the old one only once it is complete.
    if (!old.path.empty() && old.path != archive.path && fileExists(old.path) &&
        !system.removeFile(old.path)) {
        prompt.showMessage(oldArchiveNotDeletedMessage(
            old.path, projectNumber,
            systemErrorText(static_cast<std::uint32_t>(system.lastError()))));
        return ArchiveWriteEnd::Failed;
    }
    return ArchiveWriteEnd::Written;
}

}  // namespace ferry
