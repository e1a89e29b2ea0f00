#include "sync/archive_replacement.h"

#include <cerrno>

#include "compress/file_stream.h"
#include "support/files.h"
#include "support/paths.h"
#include "support/system_error.h"
#include "sync/media_archive.h"
#include "sync/sync_messages.h"

namespace ferry {
namespace {

constexpr std::string_view TemporarySuffix = ".new";

struct FileWrite {
    int error = 0;  // 0 when the file is complete and flushed
    bool stopped = false;
    FileTime time;  // its last-write time once written
};

// A medium too small for the old and the new archive side by side; a failing or
// vanished medium is none of these.
bool isLackOfRoom(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// Header, stamp and payload into a new file, flushed to the medium before it is closed.
FileWrite writeArchiveFile(const std::string& path, std::string_view headerText, DateTime stamp,
                           Stream& payload, ProjectProgress& progress, StopRequests stops) {
    Platform& system = platform();
    FileWrite result;
    StreamPtr file = createWriteFileStream(path);
    const FileHandle handle = getHandle(*file);
    if (handle == InvalidFileHandle) {
        result.error = system.lastError();
        return result;
    }
    const std::uint32_t size = getSize(payload);
    setPosition(payload, 0);
    if (!writeArchiveHead(*file, headerText, stamp)) {
        result.error = shortWriteCause(*file);
    } else {
        const Copied copied = copyWithProgress(*file, payload, size, progress, stops);
        result.stopped = copied.stopped;
        if (copied.bytes != size && !copied.stopped) result.error = shortWriteCause(*file);
    }
    if (result.error == 0 && !result.stopped) {
        if (!system.flushFile(handle) || !system.lastWriteTime(handle, result.time))
            result.error = system.lastError();
    }
    if (!closeFileStream(file) && result.error == 0 && !result.stopped)
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
    progress.expect(getSize(*archive.payload));
    FileWrite written = writeArchiveFile(temporary, archive.headerText, stamp, *archive.payload,
                                         progress, StopRequests::End);
    if (written.error == 0 && !written.stopped) written.error = flushArchiveFolder(temporary);
    if (written.stopped || written.error != 0) {
        system.removeFile(temporary);
        if (written.stopped) return ArchiveWriteEnd::Stopped;
        if (isLackOfRoom(written.error))
            return overwriteArchive(archive, old, projectNumber, stamp, prompt, progress, lastSync);
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
