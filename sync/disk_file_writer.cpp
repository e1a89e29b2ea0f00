#include "sync/disk_file_writer.h"

#include <cerrno>

#include "compress/file_stream.h"
#include "platform/files.h"
#include "support/paths.h"
#include "platform/system_error.h"
#include "sync/sync_messages.h"

namespace ferry {
namespace {

constexpr std::string_view BackupSuffix = ".old";

DiskWrite failure(const std::string& localPath, int error) {
    // A short write may leave no error code behind; it is still a failed write.
    const int cause = error == 0 ? EIO : error;
    return {false, false,
            cannotWriteFileMessage(localPath, systemErrorText(static_cast<std::uint32_t>(cause)))};
}

// Writes the temporary file whole, with its time when given. On any failure the
// temporary file is gone again.
DiskWrite writeTemporary(const std::string& localPath, const std::string& temporary,
                         Stream& content, std::uint32_t size, FileTime time,
                         ProjectProgress& progress) {
    Platform& system = platform();
    StreamPtr file = createWriteFileStream(temporary);
    if (getHandle(*file) == InvalidFileHandle) return failure(localPath, system.lastError());
    const Copied copied = copyWithProgress(*file, content, size, progress);
    int error = copied.bytes == size || copied.stopped ? 0 : shortWriteCause(*file);
    if (error == 0 && !system.setLastWriteTime(getHandle(*file), time)) error = system.lastError();
    if (!closeFileStream(file) && error == 0 && !copied.stopped) error = system.lastError();
    if (copied.stopped || error != 0) {
        system.removeFile(temporary);
        if (copied.stopped && error == 0) return {false, true, {}};
        return failure(localPath, error);
    }
    return {true, false, {}};
}

}  // namespace

DiskWrite replaceFileFromMedium(const std::string& localPath, Stream& content, std::uint32_t size,
                                FileTime time, ProjectProgress& progress) {
    const std::string temporary = localPath + std::string(DiskTemporarySuffix);
    DiskWrite result = writeTemporary(localPath, temporary, content, size, time, progress);
    if (!result.written) return result;
    Platform& system = platform();
    // Best effort: a file system without permission bits still takes the file.
    system.copyPermissions(localPath, temporary);
    const std::string backup = localPath + std::string(BackupSuffix);
    if (!system.renameReplace(localPath, backup)) {
        const int error = system.lastError();
        system.removeFile(temporary);
        return failure(localPath, error);
    }
    if (!system.renameNoReplace(temporary, localPath)) {
        const int error = system.lastError();
        system.renameNoReplace(backup, localPath);
        system.removeFile(temporary);
        return failure(localPath, error);
    }
    return result;
}

DiskWrite createFileFromMedium(const std::string& localPath, Stream& content, std::uint32_t size,
                               FileTime time, ProjectProgress& progress) {
    Platform& system = platform();
    if (!forceFolders(folderOf(localPath))) return failure(localPath, system.lastError());
    const std::string temporary = localPath + std::string(DiskTemporarySuffix);
    DiskWrite result = writeTemporary(localPath, temporary, content, size, time, progress);
    if (!result.written) return result;
    if (!system.renameNoReplace(temporary, localPath)) {
        const int error = system.lastError();
        system.removeFile(temporary);
        if (error == EEXIST) return {false, false, pathTakenMessage(localPath)};
        return failure(localPath, error);
    }
    return result;
}

}  // namespace ferry
