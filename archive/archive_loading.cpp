#include "archive/archive_loading.h"

#include "archive/media_archive.h"
#include "compress/file_stream.h"
#include "compress/memory_stream.h"
#include "platform/files.h"

namespace ferry {

LoadedArchive loadArchive(Platform& system, const std::string& path, ProjectProgress& progress) {
    LoadedArchive archive;
    archive.payload = newMemoryStream();
    if (!fileExists(system, path)) return archive;
    archive.found = true;
    StreamPtr file = openReadFileStream(system, path);
    const FileHandle handle = getHandle(*file);
    if (handle == InvalidFileHandle) {
        archive.outcome = systemFailure(path, streamError(*file));
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
    progress.expect(static_cast<std::uint64_t>(fileSize.value));
    if (!readArchiveHead(*file, archive.headerText, archive.stamp)) {
        archive.outcome = failure(Fault::Damaged, path);
        return archive;
    }
    const std::uint32_t start = position(*file);
    if (start == StreamFailure) {
        archive.outcome = systemFailure(path, streamError(*file));
        return archive;
    }
    progress.advance(start);
    const std::uint32_t payloadSize = static_cast<std::uint32_t>(fileSize.value) - start;
    // One allocation of the known size, filled in place.
    setSize(*archive.payload, payloadSize);
    setPosition(*archive.payload, 0);
    const Moved copied = copyWithProgress(*archive.payload, *file, payloadSize, progress);
    if (copied.outcome.stopped()) {
        archive.outcome = stopped();
        return archive;
    }
    if (copied.value != payloadSize) {
        // A payload that memory cannot hold fails with the memory stream, not the file.
        const SystemError error = streamError(*file).failed()               ? streamError(*file)
                                  : getSize(*archive.payload) < payloadSize ? outOfMemory()
                                                                            : deviceFailure();
        archive.outcome = systemFailure(path, error);
        return archive;
    }
    setPosition(*archive.payload, 0);
    return archive;
}

}  // namespace ferry
