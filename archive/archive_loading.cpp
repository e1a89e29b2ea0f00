#include "archive/archive_loading.h"

#include <cerrno>

#include "compress/file_stream.h"
#include "compress/memory_stream.h"
#include "platform/files.h"
#include "archive/media_archive.h"

namespace ferry {

LoadedArchive loadArchive(const std::string& path, ProjectProgress& progress) {
    LoadedArchive archive;
    archive.payload = newMemoryStream();
    if (!fileExists(path)) return archive;
    Platform& system = platform();
    archive.result = ArchiveLoad::Unreadable;
    StreamPtr file = openReadFileStream(path);
    const FileHandle handle = getHandle(*file);
    if (handle == InvalidFileHandle || !system.lastWriteTime(handle, archive.time)) {
        archive.error = system.lastError();
        return archive;
    }
    const std::int64_t fileSize = system.fileSize(handle);
    if (fileSize < 0 || fileSize >= StreamFailure) {
        archive.error = fileSize < 0 ? system.lastError() : EFBIG;
        return archive;
    }
    progress.expect(static_cast<std::uint64_t>(fileSize));
    if (!readArchiveHead(*file, archive.headerText, archive.stamp)) {
        archive.result = ArchiveLoad::NoProject;
        return archive;
    }
    const std::uint32_t start = position(*file);
    if (start == StreamFailure) {
        archive.error = system.lastError();
        return archive;
    }
    progress.advance(start);
    const std::uint32_t payloadSize = static_cast<std::uint32_t>(fileSize) - start;
    // One allocation of the known size, filled in place.
    setSize(*archive.payload, payloadSize);
    setPosition(*archive.payload, 0);
    const Copied copied = copyWithProgress(*archive.payload, *file, payloadSize, progress);
    if (copied.stopped) {
        archive.result = ArchiveLoad::Stopped;
        return archive;
    }
    if (copied.bytes != payloadSize) {
        archive.error = copied.failed ? system.lastError() : EIO;
        return archive;
    }
    setPosition(*archive.payload, 0);
    archive.result = ArchiveLoad::Loaded;
    return archive;
}

}  // namespace ferry
