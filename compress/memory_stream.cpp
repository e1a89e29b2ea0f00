#include "compress/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace ferry {
namespace {

// Grows the buffer to the smallest step multiple above `size`, keeping its contents.
// When memory runs out the stream stays as it was.
void memorySetSize(Stream& stream, std::uint32_t size) {
    if (size > stream.capacity) {
        const std::size_t capacity = (std::size_t{size} | (MemoryStreamStep - 1)) + 1;
        void* grown = std::realloc(stream.memory.get(), capacity);
        if (!grown) return;
        static_cast<void>(stream.memory.release());
        stream.memory.reset(static_cast<std::byte*>(grown));
        stream.capacity = capacity;
    } else if (size == 0) {
        stream.memory.reset();
        stream.capacity = 0;
    }
    stream.size = size;
    stream.position = std::min(stream.position, size);
}

std::uint32_t memoryGetSize(Stream& stream) {
    return stream.size;
}

std::uint32_t memorySeek(Stream& stream, std::int32_t offset, SeekOrigin origin) {
    std::int64_t target = offset;
    switch (origin) {
        case SeekOrigin::fromBeginning: break;
        case SeekOrigin::fromCurrent: target += stream.position; break;
        case SeekOrigin::fromEnd: target += stream.size; break;
        default: return StreamFailure;
    }
    if (target < 0 || target >= StreamFailure) return StreamFailure;
    const auto position = static_cast<std::uint32_t>(target);
    if (position > stream.size) {
        memorySetSize(stream, position);
        if (stream.size != position) return StreamFailure;
    }
    stream.position = position;
    return position;
}

std::uint32_t memoryRead(Stream& stream, void* target, std::uint32_t count) {
    const std::uint32_t delivered = std::min(count, stream.size - stream.position);
    if (delivered == 0) return 0;
    std::memcpy(target, stream.memory.get() + stream.position, delivered);
    stream.position += delivered;
    return delivered;
}

std::uint32_t memoryWrite(Stream& stream, const void* source, std::uint32_t count) {
    if (count == 0 || !growMemoryFor(stream, count)) return 0;
    std::memcpy(stream.memory.get() + stream.position, source, count);
    stream.position += count;
    return count;
}

void memoryClose(Stream& stream) {
    stream.memory.reset();
    stream.capacity = 0;
}

constexpr StreamOps MemoryOps{.seek = memorySeek,
                              .getSize = memoryGetSize,
                              .setSize = memorySetSize,
                              .read = memoryRead,
                              .write = memoryWrite,
                              .close = memoryClose};

bool isMemoryStream(const Stream& stream) {
    return stream.ops.read == memoryRead;
}

}  // namespace

StreamPtr newMemoryStream() {
    return newStreamWithOps(MemoryOps);
}

std::span<const std::byte> memoryAhead(const Stream& stream) {
    if (!isMemoryStream(stream) || !stream.memory) return {};
    return {stream.memory.get() + stream.position, stream.size - stream.position};
}

bool growMemoryFor(Stream& stream, std::uint32_t count) {
    const std::uint64_t end = std::uint64_t{stream.position} + count;
    // The size must stay below StreamFailure, which no size may equal.
    if (!isMemoryStream(stream) || end >= StreamFailure) return false;
    if (end > stream.size) memorySetSize(stream, static_cast<std::uint32_t>(end));
    return stream.size >= end;
}

}  // namespace ferry
