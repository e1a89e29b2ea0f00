#pragma once

// A stream over a growable block of memory. Its buffer grows in steps of
// MemoryStreamStep bytes and never shrinks, except that a size of 0 releases it, so
// appending byte by byte costs one reallocation per step.

#include <cstdint>

#include "compress/stream.h"

namespace ferry {

inline constexpr std::uint32_t MemoryStreamStep = 16384;

// An empty memory stream without a buffer. Writes always take the whole count, growing
// the stream (0 only when memory runs out or the size would pass 4 GiB). Seeking past
// the end grows the stream; the new bytes are not cleared. Seeking before the start
// fails and leaves the position alone.
StreamPtr newMemoryStream();

}  // namespace ferry
