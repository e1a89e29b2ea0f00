#pragma once

// The byte stream every transfer of the program goes through: files, memory, and the
// compressed kinds. A stream carries its own table of operations; a kind is a filling of
// that table plus a constructor.
//
// Positions and sizes are unsigned 32-bit. Operations that can fail return StreamFailure
// (0xFFFFFFFF) where a position is expected. A short read (fewer bytes than asked) is the
// only end-of-data signal; there is no separate end test.
//
// A stream is owned through StreamPtr: dropping it (or `release`) runs the kind's `close`
// once and frees the stream. Releasing a stream never releases another stream.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace ferry {

inline constexpr std::uint32_t StreamFailure = 0xFFFFFFFF;

// Equal to the Windows FILE_BEGIN, FILE_CURRENT and FILE_END codes; file streams pass them
// through unchanged. Any other value is refused by every kind.
enum class SeekOrigin : std::uint8_t { fromBeginning = 0, fromCurrent = 1, fromEnd = 2 };

struct Stream;

struct StreamDeleter {
    void operator()(Stream* stream) const;
};
using StreamPtr = std::unique_ptr<Stream, StreamDeleter>;

// Runs the stream's `close` and frees it; a null stream is ignored.
void release(StreamPtr& stream);

// The table slots of the same names.
std::uint32_t seek(Stream& stream, std::int32_t offset, SeekOrigin origin);
std::uint32_t getSize(Stream& stream);
void setSize(Stream& stream, std::uint32_t size);
std::uint32_t read(Stream& stream, void* target, std::uint32_t count);
std::uint32_t write(Stream& stream, const void* source, std::uint32_t count);

// seek by 0 from the current position.
std::uint32_t position(Stream& stream);
// seek to `offset` from the beginning.
std::uint32_t setPosition(Stream& stream, std::uint32_t offset);
// The file handle; InvalidFileHandle for a file whose open failed and for other kinds.
FileHandle getHandle(const Stream& stream);
// Makes room in a memory stream for `bytes` without changing the data: when `bytes`
// exceeds the capacity, grows the size to it and sets it back. Does nothing on an empty
// memory stream (it stays without a buffer) and on every other kind: a file keeps its
// length and bytes.
void reserve(Stream& stream, std::uint32_t bytes);

// The system's error of the last failed call on a file stream; none for other kinds and
// for a file stream that has not failed.
SystemError streamError(const Stream& stream);

// How a zero-terminated string ended.
enum class ZStringEnd { Terminator, EndOfData, Failure };
// Appends to `text` the bytes up to a zero byte (which is consumed), the end of the data or
// a failed read. One read call per byte, so nothing past the zero byte is taken.
ZStringEnd readZStringInto(Stream& stream, std::string& text);
// The same, for callers that need not know how it ended. The archive's readers use the
// form above, which tells a damaged payload from a finished one.
std::string readZString(Stream& stream);
// The text and one zero byte in one write; the result of that write.
std::uint32_t writeZString(Stream& stream, std::string_view text);

// Copies up to `count` bytes from `source` to `destination`; the bytes written, or
// StreamFailure when the source reported a failure. A memory stream on either side is
// read or written in place; only two streams without buffers share a temporary one of
// `count` bytes. A stream copied onto itself copies nothing.
std::uint32_t copyStream(Stream& destination, Stream& source, std::uint32_t count);

// ---- For authors of new stream kinds ----
// Callers of the operations above need nothing below: a kind is made by filling a table
// of operations and handing it to newStreamWithOps.

struct StreamOps {
    // The new position, or StreamFailure.
    std::uint32_t (*seek)(Stream& stream, std::int32_t offset, SeekOrigin origin) = nullptr;
    std::uint32_t (*getSize)(Stream& stream) = nullptr;
    void (*setSize)(Stream& stream, std::uint32_t size) = nullptr;
    // Bytes transferred; fewer than asked at the end of the data.
    std::uint32_t (*read)(Stream& stream, void* target, std::uint32_t count) = nullptr;
    std::uint32_t (*write)(Stream& stream, const void* source, std::uint32_t count) = nullptr;
    // Runs once, when the stream is released.
    void (*close)(Stream& stream) = nullptr;
    // Per-kind state (a compressed stream's record); freed by that kind's `close`.
    void* custom = nullptr;
};

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

struct Stream {
    StreamOps ops;
    // Memory stream: its buffer, grown with realloc; null while it holds none.
    std::unique_ptr<std::byte, FreeDeleter> memory;
    // File streams: the open file, or InvalidFileHandle when opening failed, and the
    // system's error of the last call that failed.
    FileHandle handle = InvalidFileHandle;
    SystemError error;
    Platform* platform = nullptr;  // the platform the file was opened through
    // Memory stream: bytes allocated, bytes of data, next byte read or written.
    std::size_t capacity = 0;
    std::uint32_t size = 0;
    std::uint32_t position = 0;
};

// Slots for kinds without the operation: nothing read or written, size 0, size kept.
std::uint32_t readNothing(Stream& stream, void* target, std::uint32_t count);
std::uint32_t writeNothing(Stream& stream, const void* source, std::uint32_t count);
std::uint32_t sizeZero(Stream& stream);
void keepSize(Stream& stream, std::uint32_t size);

// Where a seek by `offset` from `origin` leads in a stream of `size` bytes now at
// `position`: StreamFailure before 0, past the end, at StreamFailure or for another origin.
std::uint32_t seekTarget(std::uint32_t position, std::uint64_t size, std::int32_t offset,
                         SeekOrigin origin);

// A stream with its own copy of `ops`. Every kind's constructor starts here. Never null.
StreamPtr newStreamWithOps(const StreamOps& ops);

}  // namespace ferry
