#include "archive/archive_replacement.h"

#include <new>
#include <optional>

#include "archive/archive_check.h"
#include "archive/archive_loading.h"
#include "archive/in_place_change.h"
#include "archive/media_archive.h"
#include "compress/file_stream.h"
#include "platform/files.h"
#include "support/paths.h"

namespace ferry {
namespace {

constexpr std::string_view TemporarySuffix = ".new";

// A payload whose bytes after `readyBytes` are made by `make` (see NewArchive).
struct PayloadRest {
    std::uint32_t readyBytes = 0;
    std::function<bool()> make;
};

bool isLackOfRoom(const Outcome& outcome) {
    return outcome.fault == Fault::System && errorKind(outcome.error) == ErrorKind::LackOfRoom;
}

// Copies `count` bytes of the payload into the file.
Outcome copyPayload(Stream& file, const std::string& path, Stream& payload, std::uint32_t count,
                    ProjectProgress& progress, StopRequests stops) {
    const Moved copied = copyWithProgress(file, payload, count, progress, stops);
    if (copied.outcome.stopped()) return stopped();
    if (copied.value != count) return systemFailure(path, shortWriteCause(file));
    return done();
}

// Header, stamp and payload into a new file, flushed to the medium before it is closed;
// its last-write time once written. A payload still being made goes in two steps: its
// ready bytes, started towards the medium while the rest is made, then the rest. A rest
// that cannot be made fails as too large.
Made<FileTime> writeArchiveFile(Platform& system, const std::string& path,
                                std::string_view headerText, DateTime stamp, Stream& payload,
                                ProjectProgress& progress, StopRequests stops,
                                const PayloadRest& rest = {}) {
    Made<FileTime> result;
    StreamPtr file = createWriteFileStream(system, path);
    const FileHandle handle = getHandle(*file);
    if (handle == InvalidFileHandle) return {{}, systemFailure(path, streamError(*file))};
    setPosition(payload, 0);
    std::uint32_t written = 0;
    if (!writeArchiveHead(*file, headerText, stamp)) {
        result.outcome = systemFailure(path, shortWriteCause(*file));
    } else if (rest.make) {
        result.outcome = copyPayload(*file, path, payload, rest.readyBytes, progress, stops);
        if (result.outcome.done()) {
            written = rest.readyBytes;
            (void)system.startFlushing(handle);
            if (!rest.make()) result.outcome = failure(Fault::TooLarge, path);
        }
    }
    if (result.outcome.done()) {
        const std::uint32_t size = getSize(payload);
        setPosition(payload, written);
        result.outcome = copyPayload(*file, path, payload, size - written, progress, stops);
    }
    return closeWrittenFile(system, file, path, result.outcome);
}

// lastSync becomes the archive's time, so that both say the same synchronization.
void takeArchiveTime(Platform& system, FileTime time, DateTime& lastSync) {
    DateTime value = 0;
    if (fileTimeToDateTime(system, time, value)) lastSync = value;
}

// The same failure, told of the archive at `path` (not its temporary file or folder).
Outcome about(const std::string& path, Outcome outcome) {
    outcome.path = path;
    return outcome;
}

Outcome removeArchive(Platform& system, const std::string& path) {
    const SystemResult<> removed = system.removeFile(path);
    return removed ? done() : systemFailure(path, removed.error);
}

// Keeps a copy of the old archive at old.safetyCopy, flushed, before the medium's goes.
Outcome keepSafetyCopy(Platform& system, const OldArchive& old) {
    if (old.safetyCopy.empty()) return systemFailure(old.path, {});
    if (const SystemResult<> made = forceFolders(system, folderOf(old.safetyCopy)); !made)
        return systemFailure(old.safetyCopy, made.error);
    const Outcome kept = writeArchiveAsItWas(system, old.safetyCopy, old);
    if (!kept.done()) (void)system.removeFile(old.safetyCopy);
    return kept;
}

// The old way, for a medium without room for two archives: delete, write, and when that
// fails too, write the old payload back with its old time.
Outcome overwriteArchive(Platform& system, const NewArchive& archive, const OldArchive& old,
                         DateTime stamp, const ArchiveTroubles& report, ProjectProgress& progress,
                         DateTime& lastSync) {
    const bool hadOld = !old.path.empty() && fileExists(system, old.path);
    if (hadOld) {
        // The last complete copy of the project is never deleted without another one kept.
        const Outcome kept = keepSafetyCopy(system, old);
        if (!kept.done()) {
            report(ArchiveTrouble::NotWritten, about(archive.path, kept));
            return kept;
        }
        const Outcome removed = removeArchive(system, old.path);
        if (!removed.done()) {
            report(ArchiveTrouble::OldNotDeleted, removed);
            return removed;
        }
    }
    const Made<FileTime> written =
        writeArchiveFile(system, archive.path, archive.headerText, stamp, *archive.payload,
                         progress, StopRequests::Ignore);
    if (written.outcome.done()) {
        (void)flushArchiveFolder(system, archive.path);
        if (hadOld) (void)system.removeFile(old.safetyCopy);
        takeArchiveTime(system, written.value, lastSync);
        return done();
    }
    report(ArchiveTrouble::NotWritten, written.outcome);
    if (const Outcome removed = removeArchive(system, archive.path); !removed.done()) {
        report(ArchiveTrouble::NotRestored, removed);
        return written.outcome;
    }
    if (old.path.empty()) return written.outcome;
    // The old archive comes back as it was, to the byte and with its time: to this
    // machine and to others the medium is as before, so lastSync stays as it was too.
    const Outcome restored = writeArchiveAsItWas(system, old.path, old);
    if (!restored.done()) report(ArchiveTrouble::NotRestored, restored);
    // A copy of a project the medium lacks stays for the next run to put back.
    if (restored.done()) (void)system.removeFile(old.safetyCopy);
    return written.outcome;
}

// The new archive begins with the old one's leading blocks and differs in at most half of
// its payload: only the rest goes to the medium, into the old file (in_place_change.h).
// Nothing when the archive is to be written whole instead: another name or header, nothing
// shared, too much changed, no room for the change beside the archive, or no redo file.
std::optional<Outcome> changeInPlace(Platform& system, const NewArchive& archive,
                                     const OldArchive& old, const PayloadRest& rest,
                                     ProjectProgress& progress, DateTime& lastSync,
                                     const ArchiveTroubles& report) {
    if (old.path != archive.path || old.headerText != archive.headerText ||
        old.payload == nullptr || rest.readyBytes == 0 || !rest.make)
        return std::nullopt;
    if (!rest.make()) return failure(Fault::TooLarge, archive.path);
    const std::uint32_t size = getSize(*archive.payload);
    const std::uint32_t shared = rest.readyBytes;
    if (size - shared > size / 2) return std::nullopt;
    InPlaceChange change;
    change.archivePath = archive.path;
    change.stampAt = static_cast<std::uint32_t>(archive.headerText.size() + 1);
    change.oldStamp = old.stamp;
    change.newStamp = archive.stamp;
    change.cut = change.stampAt + static_cast<std::uint32_t>(sizeof(DateTime)) + shared;
    try {
        change.tail.resize(size - shared);
    } catch (const std::bad_alloc&) {
        return std::nullopt;  // written whole from the payload instead
    }
    setPosition(*archive.payload, shared);
    const auto tailSize = static_cast<std::uint32_t>(change.tail.size());
    if (read(*archive.payload, change.tail.data(), tailSize) != tailSize) return std::nullopt;
    // The redo file and the archive's growth must both fit: a change cut for lack of room
    // could not be finished either.
    const std::uint64_t oldSize = change.stampAt + sizeof(DateTime) + getSize(*old.payload);
    const std::uint64_t needed =
        tailSize +
        (change.cut + tailSize - std::min<std::uint64_t>(change.cut + tailSize, oldSize));
    const SystemResult<std::int64_t> room = system.roomToWrite(folderOf(archive.path));
    if (room && static_cast<std::uint64_t>(room.value) < needed + 4096) return std::nullopt;
    const Made<FileTime> changed = changeArchiveInPlace(system, change);
    // The redo file could not be written: the archive is as it was.
    if (changed.outcome.path == redoPath(archive.path)) return std::nullopt;
    if (!changed.outcome.done()) {
        report(ArchiveTrouble::NotWritten, changed.outcome);
        return changed.outcome;
    }
    progress.advance(tailSize);
    takeArchiveTime(system, changed.value, lastSync);
    return done();
}

}  // namespace

Made<FileTime> closeWrittenFile(Platform& system, StreamPtr& file, const std::string& path,
                                Outcome outcome) {
    Made<FileTime> result{{}, std::move(outcome)};
    const FileHandle handle = getHandle(*file);
    if (result.outcome.done()) {
        if (const SystemResult<> flushed = system.flushFile(handle); !flushed) {
            result.outcome = systemFailure(path, flushed.error);
        } else if (const SystemResult<FileTime> time = system.lastWriteTime(handle); !time) {
            result.outcome = systemFailure(path, time.error);
        } else {
            result.value = time.value;
        }
    }
    const SystemResult<> closed = closeFileStream(file);
    if (!closed && result.outcome.done()) result.outcome = systemFailure(path, closed.error);
    return result;
}

Outcome flushArchiveFolder(Platform& system, const std::string& archivePath) {
    const std::string folder = folderOf(archivePath);
    const SystemResult<> flushed = system.flushFolder(folder);
    if (flushed || errorKind(flushed.error) == ErrorKind::NotSupported) return done();
    return systemFailure(folder, flushed.error);
}

Outcome writeArchiveAsItWas(Platform& system, const std::string& path, const OldArchive& old) {
    ProgressReceiver quiet;
    ProjectProgress unseen(quiet, {});
    Outcome written = writeArchiveFile(system, path, old.headerText, old.stamp, *old.payload,
                                       unseen, StopRequests::Ignore)
                          .outcome;
    if (written.done()) {
        const SystemResult<> timed = setFileTime(system, path, old.time);
        if (!timed) written = systemFailure(path, timed.error);
    }
    return written.done() ? flushArchiveFolder(system, path) : written;
}

std::string temporaryArchivePath(std::string_view archivePath) {
    return std::string(archivePath) + std::string(TemporarySuffix);
}

void removeStrayTemporaryArchive(Platform& system, std::string_view archivePath) {
    const std::string temporary = temporaryArchivePath(archivePath);
    if (fileExists(system, archivePath) && fileExists(system, temporary))
        (void)system.removeFile(temporary);
}

SystemError mediumRefusal(Platform& system, const NewArchive& archive, const OldArchive& old) {
    const std::string ferryFolder = folderOf(archive.path);
    SystemResult<std::int64_t> room = system.roomToWrite(ferryFolder);
    // A first run makes the folder: the medium's own room and permission count then.
    if (errorKind(room.error) == ErrorKind::NotFound)
        room = system.roomToWrite(folderOf(withoutTrailingSeparator(ferryFolder)));
    if (!room) return room.error;
    const auto sizeOf = [](std::string_view headerText, Stream* payload) {
        return headerText.size() + 1 + sizeof(DateTime) + (payload ? getSize(*payload) : 0);
    };
    const std::uint64_t newSize = sizeOf(archive.headerText, archive.payload);
    const std::uint64_t oldSize = old.path.empty() ? 0 : sizeOf(old.headerText, old.payload);
    const std::uint64_t needed = newSize - std::min(newSize, oldSize);
    return static_cast<std::uint64_t>(room.value) < needed ? noRoom() : SystemError{};
}

CutFirstWrite settleCutFirstWrite(Platform& system, const std::string& temporaryPath) {
    if (!temporaryPath.ends_with(TemporarySuffix)) return CutFirstWrite::Kept;
    const std::string archivePath =
        temporaryPath.substr(0, temporaryPath.size() - TemporarySuffix.size());
    if (fileExists(system, archivePath)) return CutFirstWrite::Kept;
    ProgressReceiver quiet;
    ProjectProgress unseen(quiet, {});
    const LoadedArchive loaded = loadArchive(system, temporaryPath, unseen);
    // Only a file the system could read is judged: one it failed to read may be whole.
    if (loaded.outcome.fault == Fault::System) return CutFirstWrite::Kept;
    const std::optional<ArchiveHeader> header =
        loaded.outcome.done() && loaded.found ? parseHeaderText(loaded.headerText) : std::nullopt;
    bool whole = false;
    if (header) {
        const RecordNames names(header->projectPath, header->projectPath, LetterCase::Exact);
        whole = checkArchivePayload(*loaded.payload, names, unseen).outcome.done();
    }
    if (!whole)
        return system.removeFile(temporaryPath) ? CutFirstWrite::Removed : CutFirstWrite::Kept;
    if (!system.renameNoReplace(temporaryPath, archivePath)) return CutFirstWrite::Kept;
    (void)flushArchiveFolder(system, archivePath);
    return CutFirstWrite::Finished;
}

Outcome replaceArchive(Platform& system, const NewArchive& archive, const OldArchive& old,
                       const ArchiveTroubles& report, ProjectProgress& progress,
                       DateTime& lastSync) {
    const std::string temporary = temporaryArchivePath(archive.path);
    const DateTime stamp = archive.stamp;
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
    if (std::optional<Outcome> changed =
            changeInPlace(system, archive, old, rest, progress, lastSync, report))
        return *changed;
    progress.expect(archive.complete ? archive.readyBytes : getSize(*archive.payload));
    Made<FileTime> written = writeArchiveFile(system, temporary, archive.headerText, stamp,
                                              *archive.payload, progress, StopRequests::End, rest);
    if (written.outcome.done()) written.outcome = flushArchiveFolder(system, temporary);
    if (!written.outcome.done()) {
        (void)system.removeFile(temporary);
        if (written.outcome.stopped() || written.outcome.fault == Fault::TooLarge)
            return written.outcome;
        if (isLackOfRoom(written.outcome)) {
            if (rest.make && !rest.make()) return failure(Fault::TooLarge, archive.path);
            return overwriteArchive(system, archive, old, stamp, report, progress, lastSync);
        }
        report(ArchiveTrouble::NotWritten, about(archive.path, written.outcome));
        return written.outcome;
    }
    if (const SystemResult<> renamed = system.renameReplace(temporary, archive.path); !renamed) {
        (void)system.removeFile(temporary);
        const Outcome failed = systemFailure(archive.path, renamed.error);
        report(ArchiveTrouble::NotWritten, failed);
        return failed;
    }
    (void)flushArchiveFolder(system, archive.path);
    takeArchiveTime(system, written.value, lastSync);
    // An archive under a new name (the mask list or the subfolder flag changed) replaces
    // the old one only once it is complete.
    if (!old.path.empty() && old.path != archive.path && fileExists(system, old.path)) {
        const Outcome removed = removeArchive(system, old.path);
        if (!removed.done()) {
            report(ArchiveTrouble::OldNotDeleted, removed);
            return removed;
        }
    }
    return done();
}

}  // namespace ferry
