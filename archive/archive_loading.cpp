#include "archive/archive_loading.h"

#include "archive/media_archive.h"
#include "compress/file_stream.h"
#include "compress/memory_stream.h"
#include "platform/files.h"

namespace ferry {

LoadedArchive openArchive(Platform& system, const std::string& path) {
    LoadedArchive archive;
    archive.payload = newMemoryStream();
    if (!fileExists(system, path)) return archive;
    archive.found = true;
    archive.file = openReadFileStream(system, path);
    const FileHandle handle = getHandle(*archive.file);
    if (handle == InvalidFileHandle) {
        archive.outcome = systemFailure(path, streamError(*archive.file));
        return archive;
    }
    const SystemResult<FileTime> time = system.lastWriteTime(handle);
    const SystemResult<std::int64_t> fileSize = system.fileSize(handle);
    if (!time || !fileSize) {
        archive.outcome = systemFailure(path, time ? fileSize.error : time.error);
        return archive;
    }
    archive.time = time.value;
    if (fileSize.value >= StreamFailure) {
        archive.outcome = systemFailure(path, fileTooLarge());
        return archive;
    }
    // Looked up by name: the look counts only when it is that of the file now open.
    archive.look = system.pathInfo(path);
    if (archive.look.size != static_cast<std::uint64_t>(fileSize.value) ||
        archive.look.lastWrite != archive.time)
        archive.look = PathInfo{};
    if (!readArchiveHead(*archive.file, archive.headerText, archive.stamp)) {
        archive.outcome = failure(Fault::Damaged, path);
        return archive;
    }
    const std::uint32_t start = position(*archive.file);
    if (start == StreamFailure) {
        archive.outcome = systemFailure(path, streamError(*archive.file));
        return archive;
    }
    archive.payloadStart = start;
    archive.payloadSize = static_cast<std::uint32_t>(fileSize.value) - start;
    return archive;
}

Outcome loadPayload(LoadedArchive& archive, const std::string& path, ProjectProgress& progress) {
    if (!archive.file) return done();
    archive.payload = newMemoryStream();
    Stream& file = *archive.file;
    const std::uint32_t payloadSize = archive.payloadSize;
    progress.expect(payloadSize);
    if (setPosition(file, archive.payloadStart) != archive.payloadStart)
        return systemFailure(path, streamError(file));
    // One allocation of the known size, filled in place.
    setSize(*archive.payload, payloadSize);
    setPosition(*archive.payload, 0);
    const Moved copied = copyWithProgress(*archive.payload, file, payloadSize, progress);
    if (copied.outcome.stopped()) return stopped();
    if (copied.value != payloadSize) {
        // A payload that memory cannot hold fails with the memory stream, not the file.
        const SystemError error = streamError(file).failed()                ? streamError(file)
                                  : getSize(*archive.payload) < payloadSize ? outOfMemory()
                                                                            : deviceFailure();
        return systemFailure(path, error);
    }
    setPosition(*archive.payload, 0);
    archive.file.reset();
    return done();
}

LoadedArchive loadArchive(Platform& system, const std::string& path, ProjectProgress& progress) {
    LoadedArchive archive = openArchive(system, path);
    if (archive.found && archive.outcome.done())
        archive.outcome = loadPayload(archive, path, progress);
    return archive;
}

}  // namespace ferry
