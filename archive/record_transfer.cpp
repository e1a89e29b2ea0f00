#include "archive/record_transfer.h"

#include <algorithm>
#include <vector>

#include "compress/file_stream.h"
#include "compress/memory_stream.h"

namespace ferry {
namespace {

// Seeks take signed offsets: long contents are passed over in steps.
constexpr std::uint32_t LongestSkip = 0x40000000;

}  // namespace

Made<DiskFile> openDiskFile(Platform& system, const std::string& path) {
    Made<DiskFile> file{{openReadFileStream(system, path), {}}, {}};
    const FileHandle handle = getHandle(*file.value.stream);
    if (handle == InvalidFileHandle)
        return {{}, systemFailure(path, streamError(*file.value.stream))};
    const SystemResult<FileTime> time = system.lastWriteTime(handle);
    if (!time) return {{}, systemFailure(path, time.error)};
    file.value.time = time.value;
    return file;
}

Made<StreamPtr> readDiskContent(Platform& system, Stream& file, const std::string& path,
                                ProjectProgress& progress) {
    const FileHandle handle = getHandle(file);
    Made<StreamPtr> content{newMemoryStream(), {}};
    const SystemResult<std::int64_t> size = system.fileSize(handle);
    if (!size) return {nullptr, systemFailure(path, size.error)};
    if (size.value >= StreamFailure) return {nullptr, failure(Fault::TooLarge, path)};
    progress.expect(static_cast<std::uint64_t>(size.value));
    // One allocation of the size foreseen; the bytes read decide the size in the end.
    setSize(*content.value, static_cast<std::uint32_t>(size.value));
    setPosition(*content.value, 0);
    // Read through the platform itself: only there does a failed read differ from the end.
    std::vector<std::byte> chunk(ProgressChunk);
    std::uint64_t total = 0;
    for (;;) {
        const SystemResult<std::int64_t> got = system.readFile(handle, chunk.data(), chunk.size());
        if (!got) return {nullptr, systemFailure(path, got.error)};
        if (got.value == 0) break;
        total += static_cast<std::uint64_t>(got.value);
        if (total >= StreamFailure) return {nullptr, failure(Fault::TooLarge, path)};
        const auto count = static_cast<std::uint32_t>(got.value);
        if (write(*content.value, chunk.data(), count) != count)
            return {nullptr, systemFailure(path, outOfMemory())};
        if (!progress.advance(count)) return {nullptr, stopped()};
    }
    setSize(*content.value, static_cast<std::uint32_t>(total));
    setPosition(*content.value, 0);
    return content;
}

Made<StreamPtr> readRecordBytes(Stream& reader, std::uint32_t size, ProjectProgress& progress) {
    Made<StreamPtr> content{newMemoryStream(), {}};
    setSize(*content.value, size);
    setPosition(*content.value, 0);
    const Moved copied = copyWithProgress(*content.value, reader, size, progress);
    if (copied.outcome.stopped()) return {nullptr, stopped()};
    if (copied.value != size) return {nullptr, failure(Fault::Damaged)};
    setPosition(*content.value, 0);
    return content;
}

bool sameContent(Stream& first, Stream& second) {
    setPosition(first, 0);
    setPosition(second, 0);
    return std::ranges::equal(memoryAhead(first), memoryAhead(second));
}

bool skipRecordBytes(Stream& reader, std::uint32_t size) {
    while (size > 0) {
        const std::uint32_t step = std::min(size, LongestSkip);
        const std::uint32_t from = position(reader);
        if (from == StreamFailure ||
            seek(reader, static_cast<std::int32_t>(step), SeekOrigin::fromCurrent) != from + step)
            return false;
        size -= step;
    }
    return true;
}

Outcome sendRecord(Stream& writer, const RecordHead& head, Stream& content,
                   ProjectProgress& progress) {
    if (!writeRecordHead(writer, head)) return failure(Fault::TooLarge);
    const Moved copied = copyWithProgress(writer, content, head.size, progress);
    if (copied.outcome.stopped()) return stopped();
    return copied.value == head.size ? done() : failure(Fault::TooLarge);
}

}  // namespace ferry
