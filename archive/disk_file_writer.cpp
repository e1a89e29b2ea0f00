#include "archive/disk_file_writer.h"

#include "compress/file_stream.h"
#include "platform/files.h"
#include "support/paths.h"

namespace ferry {
namespace {

constexpr std::string_view BackupSuffix = ".old";

// A temporary file left by a run that was cut off goes. Anything else at that name stays
// and fails the writing: a folder, or a link that would lead the write out of the
// project.
Outcome clearTemporaryName(Platform& system, const std::string& temporary) {
    const PathInfo stale = system.linkInfo(temporary);
    if (!stale.exists) return done();
    if (stale.isLink || stale.isFolder) return failure(Fault::LinkInWay, temporary);
    const SystemResult<> removed = system.removeFile(temporary);
    return removed ? done() : systemFailure(temporary, removed.error);
}

// Writes the temporary file whole, with its time when given. On any failure the
// temporary file is gone again.
Outcome writeTemporary(Platform& system, const std::string& localPath, const std::string& temporary,
                       Stream& content, std::uint32_t size, FileTime time,
                       ProjectProgress& progress) {
    if (const Outcome cleared = clearTemporaryName(system, temporary); !cleared.done())
        return cleared;
    // Created new, so that a link planted at the name meanwhile is not followed either.
    StreamPtr file = createNewFileStream(system, temporary);
    if (getHandle(*file) == InvalidFileHandle) return systemFailure(localPath, streamError(*file));
    const Moved copied = copyWithProgress(*file, content, size, progress);
    Outcome outcome = copied.outcome.stopped() ? stopped() : done();
    if (copied.value != size && outcome.done())
        outcome = systemFailure(localPath, shortWriteCause(*file));
    if (outcome.done()) {
        if (const SystemResult<> set = system.setLastWriteTime(getHandle(*file), time); !set)
            outcome = systemFailure(localPath, set.error);
    }
    // On the device before it takes the file's name: after a power cut a file that is
    // there, with its record's time, must hold its record's bytes (a later run would
    // count it as equal to its record and keep it).
    if (outcome.done()) {
        if (const SystemResult<> flushed = system.flushFile(getHandle(*file)); !flushed)
            outcome = systemFailure(localPath, flushed.error);
    }
    const SystemResult<> closed = closeFileStream(file);
    if (!closed && outcome.done()) outcome = systemFailure(localPath, closed.error);
    if (!outcome.done()) (void)system.removeFile(temporary);
    return outcome;
}

// The medium keeps no permission bits: a new file that starts as a script ("#!") or an
// ELF program is one to run, so whoever may read it may run it.
void allowRunningPrograms(Platform& system, const std::string& path) {
    StreamPtr file = openReadFileStream(system, path);
    char start[4] = {};
    const std::uint32_t length = read(*file, start, sizeof start);
    const std::string_view bytes(start, length);
    release(file);
    if (bytes.starts_with("#!") || bytes ==
                                       "\x7f"
                                       "ELF")
        (void)system.allowRunning(path);
}

}  // namespace

Outcome replaceFileFromMedium(Platform& system, const std::string& localPath, Stream& content,
                              std::uint32_t size, FileTime time, ProjectProgress& progress) {
    const std::string temporary = localPath + std::string(DiskTemporarySuffix);
    const Outcome written =
        writeTemporary(system, localPath, temporary, content, size, time, progress);
    if (!written.done()) return written;
    // Best effort: a file system without permission bits still takes the file.
    (void)system.copyPermissions(localPath, temporary);
    const std::string backup = localPath + std::string(BackupSuffix);
    if (const SystemResult<> kept = system.renameReplace(localPath, backup); !kept) {
        (void)system.removeFile(temporary);
        return systemFailure(localPath, kept.error);
    }
    if (const SystemResult<> placed = system.renameNoReplace(temporary, localPath); !placed) {
        (void)system.renameNoReplace(backup, localPath);
        (void)system.removeFile(temporary);
        return systemFailure(localPath, placed.error);
    }
    return done();
}

Outcome createFileFromMedium(Platform& system, const std::string& localPath, Stream& content,
                             std::uint32_t size, FileTime time, ProjectProgress& progress) {
    if (const SystemResult<> made = forceFolders(system, folderOf(localPath)); !made)
        return systemFailure(localPath, made.error);
    const std::string temporary = localPath + std::string(DiskTemporarySuffix);
    const Outcome written =
        writeTemporary(system, localPath, temporary, content, size, time, progress);
    if (!written.done()) return written;
    allowRunningPrograms(system, temporary);
    if (const SystemResult<> placed = system.renameNoReplace(temporary, localPath); !placed) {
        (void)system.removeFile(temporary);
        return systemFailure(localPath, placed.error);
    }
    return done();
}

}  // namespace ferry
