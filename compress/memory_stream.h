#pragma once

// A stream over a growable block of memory. Its buffer grows in steps of
// MemoryStreamStep bytes and never shrinks, except that a size of 0 releases it, so
// appending byte by byte costs one reallocation per step.

#include <cstddef>
#include <cstdint>
#include <span>

#include "compress/stream.h"

namespace ferry {

inline constexpr std::uint32_t MemoryStreamStep = 16384;

// An empty memory stream without a buffer. Writes always take the whole count, growing
// the stream (0 only when memory runs out or the size would pass 4 GiB). Seeking past
// the end grows the stream; the new bytes are not cleared. Seeking before the start
// fails and leaves the position alone.
StreamPtr newMemoryStream();

// A memory stream's bytes from its position to its end, where they lie; valid until the
// stream next changes. Empty for a stream of any other kind.
std::span<const std::byte> memoryAhead(const Stream& stream);

// Makes a memory stream at least position + count bytes long, so that `count` bytes can
// be put at its position in place; the new bytes are not cleared. False, with the stream
// unchanged, when the size would reach StreamFailure, memory runs out, or the stream is
// of another kind.
bool growMemoryFor(Stream& stream, std::uint32_t count);

}  // namespace ferry
