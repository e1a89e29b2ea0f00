#include "compress/stream.h"

#include "compress/memory_stream.h"

#include <algorithm>
#include <new>

namespace ferry {

void StreamDeleter::operator()(Stream* stream) const {
    if (stream->ops.close) stream->ops.close(*stream);
    delete stream;
}

std::uint32_t seekTarget(std::uint32_t position, std::uint64_t size, std::int32_t offset,
                         SeekOrigin origin) {
    std::int64_t target = offset;
    switch (origin) {
        case SeekOrigin::fromBeginning: break;
        case SeekOrigin::fromCurrent: target += position; break;
        case SeekOrigin::fromEnd: target += static_cast<std::int64_t>(size); break;
        default: return StreamFailure;
    }
    if (target < 0 || static_cast<std::uint64_t>(target) > size || target >= StreamFailure)
        return StreamFailure;
    return static_cast<std::uint32_t>(target);
}

std::uint32_t readNothing(Stream&, void*, std::uint32_t) {
    return 0;
}
std::uint32_t writeNothing(Stream&, const void*, std::uint32_t) {
    return 0;
}
std::uint32_t sizeZero(Stream&) {
    return 0;
}
void keepSize(Stream&, std::uint32_t) {}

StreamPtr newStreamWithOps(const StreamOps& ops) {
    StreamPtr stream(new Stream{});
    stream->ops = ops;
    return stream;
}

void release(StreamPtr& stream) {
    stream.reset();
}

std::uint32_t seek(Stream& stream, std::int32_t offset, SeekOrigin origin) {
    return stream.ops.seek(stream, offset, origin);
}

std::uint32_t getSize(Stream& stream) {
    return stream.ops.getSize(stream);
}

void setSize(Stream& stream, std::uint32_t size) {
    stream.ops.setSize(stream, size);
}

std::uint32_t read(Stream& stream, void* target, std::uint32_t count) {
    return stream.ops.read(stream, target, count);
}

std::uint32_t write(Stream& stream, const void* source, std::uint32_t count) {
    return stream.ops.write(stream, source, count);
}

std::uint32_t position(Stream& stream) {
    return seek(stream, 0, SeekOrigin::fromCurrent);
}

std::uint32_t setPosition(Stream& stream, std::uint32_t offset) {
    return seek(stream, static_cast<std::int32_t>(offset), SeekOrigin::fromBeginning);
}

SystemError streamError(const Stream& stream) {
    return stream.error;
}

FileHandle getHandle(const Stream& stream) {
    return stream.handle;
}

void reserve(Stream& stream, std::uint32_t bytes) {
    // Only a memory stream with a buffer has room to make. Growing any other kind and
    // setting it back could lose a file's bytes; an empty memory stream ends without a
    // buffer anyway.
    if (!stream.memory || bytes <= stream.capacity) return;
    const std::uint32_t size = getSize(stream);
    setSize(stream, bytes);
    setSize(stream, size);
}

ZStringEnd readZStringInto(Stream& stream, std::string& text) {
    for (;;) {
        char byte = 0;
        const std::uint32_t got = read(stream, &byte, 1);
        if (got == 0) return ZStringEnd::EndOfData;
        if (got != 1) return ZStringEnd::Failure;
        if (byte == 0) return ZStringEnd::Terminator;
        text.push_back(byte);
    }
}

std::string readZString(Stream& stream) {
    std::string text;
    readZStringInto(stream, text);
    return text;
}

std::uint32_t writeZString(Stream& stream, std::string_view text) {
    std::string bytes(text);
    bytes.push_back('\0');
    return write(stream, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

namespace {

// A result is a count only up to what was asked; above it is a failure code.
bool isCount(std::uint32_t result, std::uint32_t asked) {
    return result <= asked;
}

std::uint32_t copyFromMemory(Stream& destination, Stream& source, std::uint32_t count) {
    const std::uint32_t available = std::min(count, source.size - source.position);
    const std::uint32_t written =
        write(destination, source.memory.get() + source.position, available);
    if (isCount(written, available)) source.position += written;
    return written;
}

std::uint32_t copyIntoMemory(Stream& destination, Stream& source, std::uint32_t count) {
    const std::uint32_t sizeBefore = destination.size;
    const std::uint64_t end = std::uint64_t{destination.position} + count;
    if (!growMemoryFor(destination, count)) return 0;
    const std::uint32_t got = read(source, destination.memory.get() + destination.position, count);
    const std::uint32_t delivered = isCount(got, count) ? got : 0;
    destination.position += delivered;
    // Bytes the source did not deliver are not data: the stream ends after what arrived.
    if (destination.size > sizeBefore && destination.position < end) {
        setSize(destination, std::max(sizeBefore, destination.position));
    }
    return got;
}

std::uint32_t copyThroughTemporary(Stream& destination, Stream& source, std::uint32_t count) {
    const std::unique_ptr<std::byte[]> temporary(new (std::nothrow) std::byte[count]);
    if (!temporary) return 0;
    const std::uint32_t got = read(source, temporary.get(), count);
    if (!isCount(got, count)) return got;
    return write(destination, temporary.get(), got);
}

}  // namespace

std::uint32_t copyStream(Stream& destination, Stream& source, std::uint32_t count) {
    if (&destination == &source) return 0;
    if (source.memory) return copyFromMemory(destination, source, count);
    if (destination.memory) return copyIntoMemory(destination, source, count);
    return copyThroughTemporary(destination, source, count);
}

}  // namespace ferry
