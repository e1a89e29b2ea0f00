#include "compress/file_stream.h"

#include "platform/platform.h"

namespace ferry {
namespace {

bool isOpen(const Stream& stream) {
    return stream.handle != InvalidFileHandle;
}

constexpr int FromBeginning = 0;
constexpr int FromCurrent = 1;

// Keeps the call's error in the stream and passes its value on.
template <typename T>
T kept(Stream& stream, const SystemResult<T>& result) {
    if (!result) stream.error = result.error;
    return result.value;
}

// A position or size a stream can state: below StreamFailure, which none may equal.
bool fitsStream(std::int64_t value) {
    return value >= 0 && value < StreamFailure;
}

// The target is worked out first and checked, so that a failed seek leaves the position
// where it was, and a file beyond 4 GiB never shows a wrapped-around position.
std::uint32_t fileSeek(Stream& stream, std::int32_t offset, SeekOrigin origin) {
    if (!isOpen(stream)) return StreamFailure;
    Platform& system = *stream.platform;
    std::int64_t base = 0;
    switch (origin) {
        case SeekOrigin::fromBeginning: break;
        case SeekOrigin::fromCurrent:
            base = kept(stream, system.seekFile(stream.handle, 0, FromCurrent));
            break;
        case SeekOrigin::fromEnd: base = kept(stream, system.fileSize(stream.handle)); break;
        default: return StreamFailure;
    }
    if (base < 0) return StreamFailure;
    const std::int64_t target = base + offset;
    if (!fitsStream(target) ||
        kept(stream, system.seekFile(stream.handle, target, FromBeginning)) != target) {
        return StreamFailure;
    }
    return static_cast<std::uint32_t>(target);
}

// 0 when the size cannot be learned; StreamFailure for a file of 4 GiB or more.
std::uint32_t fileGetSize(Stream& stream) {
    if (!isOpen(stream)) return 0;
    const std::int64_t size = kept(stream, stream.platform->fileSize(stream.handle));
    if (size < 0) return 0;
    return fitsStream(size) ? static_cast<std::uint32_t>(size) : StreamFailure;
}

// Shrinking below the position leaves the position at the new end; growing keeps it.
void fileSetSize(Stream& stream, std::uint32_t size) {
    if (!isOpen(stream)) return;
    Platform& system = *stream.platform;
    const std::int64_t before = kept(stream, system.seekFile(stream.handle, 0, FromCurrent));
    if (before < 0 || kept(stream, system.seekFile(stream.handle, size, FromBeginning)) < 0) return;
    kept(stream, system.truncateFile(stream.handle, size));
    if (size > before) kept(stream, system.seekFile(stream.handle, before, FromBeginning));
}

std::uint32_t fileRead(Stream& stream, void* target, std::uint32_t count) {
    if (!isOpen(stream) || count == 0) return 0;
    const std::int64_t got = kept(stream, stream.platform->readFile(stream.handle, target, count));
    return got < 0 ? 0 : static_cast<std::uint32_t>(got);
}

std::uint32_t fileWrite(Stream& stream, const void* source, std::uint32_t count) {
    if (!isOpen(stream) || count == 0) return 0;
    const std::int64_t put = kept(stream, stream.platform->writeFile(stream.handle, source, count));
    return put < 0 ? 0 : static_cast<std::uint32_t>(put);
}

// The write file kind cuts the file after every write, so it always ends at the last
// byte written.
std::uint32_t fileWriteAndCut(Stream& stream, const void* source, std::uint32_t count) {
    const std::uint32_t written = fileWrite(stream, source, count);
    if (isOpen(stream)) {
        const std::int64_t end =
            kept(stream, stream.platform->seekFile(stream.handle, 0, FromCurrent));
        if (end >= 0) kept(stream, stream.platform->truncateFile(stream.handle, end));
    }
    return written;
}

void fileClose(Stream& stream) {
    if (isOpen(stream)) kept(stream, stream.platform->closeFile(stream.handle));
    stream.handle = InvalidFileHandle;
}

constexpr StreamOps FileOps{.seek = fileSeek,
                            .getSize = fileGetSize,
                            .setSize = fileSetSize,
                            .read = fileRead,
                            .write = fileWrite,
                            .close = fileClose};

constexpr StreamOps ReadFileOps = [] {
    StreamOps ops = FileOps;
    ops.setSize = keepSize;
    ops.write = writeNothing;
    return ops;
}();

constexpr StreamOps WriteFileOps = [] {
    StreamOps ops = FileOps;
    ops.read = readNothing;
    ops.write = fileWriteAndCut;
    return ops;
}();

StreamPtr openFileStream(Platform& system, std::string_view fileName, const StreamOps& ops,
                         FileAccess access, FileCreation creation) {
    StreamPtr stream = newStreamWithOps(ops);
    stream->platform = &system;
    const SystemResult<FileHandle> opened =
        system.openFile(std::string(fileName), access, creation);
    stream->handle = opened.value;
    stream->error = opened.error;
    return stream;
}

}  // namespace

StreamPtr openReadFileStream(Platform& system, std::string_view fileName) {
    return openFileStream(system, fileName, ReadFileOps, FileAccess::Read,
                          FileCreation::OpenExisting);
}

StreamPtr createWriteFileStream(Platform& system, std::string_view fileName) {
    return openFileStream(system, fileName, WriteFileOps, FileAccess::Write,
                          FileCreation::CreateAlways);
}

StreamPtr createNewFileStream(Platform& system, std::string_view fileName) {
    return openFileStream(system, fileName, WriteFileOps, FileAccess::Write,
                          FileCreation::CreateNew);
}

StreamPtr openReadWriteFileStream(Platform& system, std::string_view fileName) {
    // One call that creates or keeps: checking first and then creating could empty a file
    // made in between.
    return openFileStream(system, fileName, FileOps, FileAccess::ReadWrite,
                          FileCreation::OpenAlways);
}

SystemError shortWriteCause(Stream& file) {
    if (!isOpen(file)) return file.error.failed() ? file.error : deviceFailure();
    const std::byte probe{};
    const SystemResult<std::int64_t> put = file.platform->writeFile(file.handle, &probe, 1);
    if (!put) return put.error;
    return file.error.failed() ? file.error : deviceFailure();
}

SystemResult<> closeFileStream(StreamPtr& stream) {
    if (!stream) return failedWith(deviceFailure());
    SystemResult<> closed = failedWith(stream->error.failed() ? stream->error : deviceFailure());
    if (isOpen(*stream)) closed = stream->platform->closeFile(stream->handle);
    stream->handle = InvalidFileHandle;
    release(stream);
    return closed;
}

}  // namespace ferry
