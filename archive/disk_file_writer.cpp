#include "archive/disk_file_writer.h"

#include <utility>

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

constexpr std::uint64_t BatchBytes = 64 * 1024 * 1024;

// Writes the temporary file whole, with its time when given, and starts its write-back;
// the file stays open. On any failure the temporary file is gone again.
Made<StreamPtr> writeTemporary(Platform& system, const std::string& localPath,
                               const std::string& temporary, Stream& content, std::uint32_t size,
                               FileTime time, ProjectProgress& progress) {
    if (const Outcome cleared = clearTemporaryName(system, temporary); !cleared.done())
        return {nullptr, cleared};
    // Created new, so that a link planted at the name meanwhile is not followed either.
    StreamPtr file = createNewFileStream(system, temporary);
    if (getHandle(*file) == InvalidFileHandle)
        return {nullptr, systemFailure(localPath, streamError(*file))};
    const Moved copied = copyWithProgress(*file, content, size, progress);
    Outcome outcome = copied.outcome.stopped() ? stopped() : done();
    if (copied.value != size && outcome.done())
        outcome = systemFailure(localPath, shortWriteCause(*file));
    if (outcome.done()) {
        if (const SystemResult<> set = system.setLastWriteTime(getHandle(*file), time); !set)
            outcome = systemFailure(localPath, set.error);
    }
    // Best effort: the flush before the naming waits less.
    if (outcome.done()) (void)system.startFlushing(getHandle(*file));
    if (outcome.done()) return {std::move(file), outcome};
    (void)closeFileStream(file);
    (void)system.removeFile(temporary);
    return {nullptr, outcome};
}

// The temporary file on the device and closed, ready to take its name. On any failure
// it is gone again.
Outcome flushTemporary(Platform& system, const std::string& localPath, const std::string& temporary,
                       StreamPtr& file) {
    Outcome outcome = done();
    if (const SystemResult<> flushed = system.flushFile(getHandle(*file)); !flushed)
        outcome = systemFailure(localPath, flushed.error);
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

DiskWrites::~DiskWrites() {
    for (Waiting& waiting : waiting_) drop(waiting);
}

void DiskWrites::drop(Waiting& waiting) {
    if (waiting.file) (void)closeFileStream(waiting.file);
    (void)system_.removeFile(waiting.temporary);
}

Outcome DiskWrites::replace(const std::string& localPath, Stream& content, std::uint32_t size,
                            FileTime time, ProjectProgress& progress) {
    // The new files written before it take their names before it, as they came.
    if (const Outcome placed = nameWaitingFiles(); !placed.done()) return placed;
    const std::string temporary = localPath + std::string(DiskTemporarySuffix);
    Made<StreamPtr> written =
        writeTemporary(system_, localPath, temporary, content, size, time, progress);
    if (!written.outcome.done()) return written.outcome;
    if (const Outcome flushed = flushTemporary(system_, localPath, temporary, written.value);
        !flushed.done())
        return flushed;
    // Best effort: a file system without permission bits still takes the file.
    (void)system_.copyPermissions(localPath, temporary);
    const std::string backup = localPath + std::string(BackupSuffix);
    if (const SystemResult<> kept = system_.renameReplace(localPath, backup); !kept) {
        (void)system_.removeFile(temporary);
        return systemFailure(localPath, kept.error);
    }
    if (const SystemResult<> placed = system_.renameNoReplace(temporary, localPath); !placed) {
        (void)system_.renameNoReplace(backup, localPath);
        (void)system_.removeFile(temporary);
        return systemFailure(localPath, placed.error);
    }
    changedFolders_.insert(folderOf(localPath));
    return done();
}

Outcome DiskWrites::create(const std::string& localPath, Stream& content, std::uint32_t size,
                           FileTime time, ProjectProgress& progress) {
    // A waiting file's temporary name is the only name a waiting file holds.
    if (localPath.ends_with(DiskTemporarySuffix)) {
        if (const Outcome placed = nameWaitingFiles(); !placed.done()) return placed;
    }
    if (const SystemResult<> made = forceFolders(system_, folderOf(localPath)); !made)
        return systemFailure(localPath, made.error);
    const std::string temporary = localPath + std::string(DiskTemporarySuffix);
    Made<StreamPtr> written =
        writeTemporary(system_, localPath, temporary, content, size, time, progress);
    if (!written.outcome.done()) return written.outcome;
    allowRunningPrograms(system_, temporary);
    waiting_.push_back({localPath, temporary, std::move(written.value)});
    waitingBytes_ += size;
    if (waiting_.size() < DiskBatchFiles && waitingBytes_ < BatchBytes) return done();
    return nameWaitingFiles();
}

// All are flushed before any takes its name: the first flush carries the others' writing
// to the device with it, and no name is given before its file is there.
Outcome DiskWrites::nameWaitingFiles() {
    std::vector<Waiting> batch = std::move(waiting_);
    waiting_.clear();
    waitingBytes_ = 0;
    Outcome outcome = done();
    for (Waiting& waiting : batch) {
        if (outcome.done())
            outcome = flushTemporary(system_, waiting.localPath, waiting.temporary, waiting.file);
        else
            drop(waiting);
    }
    for (Waiting& waiting : batch) {
        if (!outcome.done()) {
            (void)system_.removeFile(waiting.temporary);
            continue;
        }
        if (const SystemResult<> placed =
                system_.renameNoReplace(waiting.temporary, waiting.localPath);
            !placed) {
            (void)system_.removeFile(waiting.temporary);
            outcome = systemFailure(waiting.localPath, placed.error);
            continue;
        }
        changedFolders_.insert(folderOf(waiting.localPath));
    }
    return outcome;
}

Outcome DiskWrites::place() {
    Outcome outcome = nameWaitingFiles();
    // The new names reach the device too (the next batch's first flush takes most of them
    // along); a file system that cannot flush a folder keeps them as it keeps the rest.
    for (const std::string& folder : std::exchange(changedFolders_, {})) {
        const SystemResult<> flushed = system_.flushFolder(folder);
        if (!flushed && errorKind(flushed.error) != ErrorKind::NotSupported && outcome.done())
            outcome = systemFailure(folder, flushed.error);
    }
    return outcome;
}

}  // namespace ferry
