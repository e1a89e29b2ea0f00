#pragma once

// The one buffer of a compressed stream, shared by uncompressed and compressed bytes of
// the current block (see compressed_stream.h).

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ferry {

// libucl's "safe" NRV2E decoder can read a byte past the end of its input (always when the
// input is empty, sometimes on damaged data) before it reports the overrun. A block is
// decoded from the very end of the buffer, so the buffer carries this many zero bytes
// after it for that read to land in.
inline constexpr std::uint32_t DecoderReadSlack = 16;

// B + B/8 + 256: the compressor's worst-case output for B input bytes.
std::uint64_t blockBufferSize(std::uint32_t blockSize);

struct BlockBuffer {
    std::unique_ptr<std::byte[]> bytes;
    std::uint32_t blockSize = 0;
    std::uint32_t size = 0;  // blockBufferSize(blockSize), the slack not counted

    std::byte* start() const { return bytes.get(); }
    std::byte* end() const { return bytes.get() + size; }
};

// Runs libucl's start-up check and allocates the buffer (contents not cleared). False,
// with nothing allocated, when the check fails, the block size is 0 or too large for
// 32-bit sizes, or memory runs out.
bool prepareBlockBuffer(BlockBuffer& buffer, std::uint32_t blockSize);

}  // namespace ferry
