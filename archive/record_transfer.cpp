#include "archive/record_transfer.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "compress/memory_stream.h"

namespace ferry {
namespace {

// Seeks take signed offsets: long contents are passed over in steps.
constexpr std::uint32_t LongestSkip = 0x40000000;

}  // namespace

DiskContent readDiskContent(Stream& file, ProjectProgress& progress) {
    Platform& system = platform();
    const FileHandle handle = getHandle(file);
    DiskContent content;
    content.bytes = newMemoryStream();
    const std::int64_t size = system.fileSize(handle);
    if (size < 0) {
        content.error = system.lastError();
        return content;
    }
    if (size >= StreamFailure) {
        content.result = Transfer::TooLarge;
        return content;
    }
    progress.expect(static_cast<std::uint64_t>(size));
    // One allocation of the size foreseen; the bytes read decide the size in the end.
    setSize(*content.bytes, static_cast<std::uint32_t>(size));
    setPosition(*content.bytes, 0);
    // Read through the platform itself: only there does a failed read differ from the end.
    std::vector<std::byte> chunk(ProgressChunk);
    std::uint64_t total = 0;
    for (;;) {
        const std::int64_t got = system.readFile(handle, chunk.data(), chunk.size());
        if (got < 0) {
            content.error = system.lastError();
            return content;
        }
        if (got == 0) break;
        total += static_cast<std::uint64_t>(got);
        if (total >= StreamFailure) {
            content.result = Transfer::TooLarge;
            return content;
        }
        const auto count = static_cast<std::uint32_t>(got);
        if (write(*content.bytes, chunk.data(), count) != count) {
            content.error = ENOMEM;
            return content;
        }
        if (!progress.advance(count)) {
            content.result = Transfer::Stopped;
            return content;
        }
    }
    setSize(*content.bytes, static_cast<std::uint32_t>(total));
    setPosition(*content.bytes, 0);
    content.result = Transfer::Done;
    return content;
}

Transfer readRecordBytes(Stream& reader, std::uint32_t size, StreamPtr& content,
                         ProjectProgress& progress) {
    content = newMemoryStream();
    setSize(*content, size);
    setPosition(*content, 0);
    const Copied copied = copyWithProgress(*content, reader, size, progress);
    if (copied.stopped) return Transfer::Stopped;
    if (copied.bytes != size) return Transfer::Failed;
    setPosition(*content, 0);
    return Transfer::Done;
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

Transfer sendRecord(Stream& writer, const RecordHead& head, Stream& content,
                    ProjectProgress& progress) {
    if (!writeRecordHead(writer, head)) return Transfer::Failed;
    const Copied copied = copyWithProgress(writer, content, head.size, progress);
    if (copied.stopped) return Transfer::Stopped;
    return copied.bytes == head.size ? Transfer::Done : Transfer::Failed;
}

}  // namespace ferry
