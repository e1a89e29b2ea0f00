#include "compress/block_stream.h"

#include <cstring>
#include <new>

#include <ucl/ucl.h>

namespace ferry {

std::uint64_t blockBufferSize(std::uint32_t blockSize) {
    return std::uint64_t{blockSize} + blockSize / 8 + 256;
}

bool prepareBlockBuffer(BlockBuffer& buffer, std::uint32_t blockSize) {
    if (ucl_init() != UCL_E_OK) return false;
    const std::uint64_t size = blockBufferSize(blockSize);
    if (blockSize == 0 || size + DecoderReadSlack > UINT32_MAX) return false;
    buffer.bytes.reset(new (std::nothrow) std::byte[size + DecoderReadSlack]);
    if (!buffer.bytes) return false;
    buffer.blockSize = blockSize;
    buffer.size = static_cast<std::uint32_t>(size);
    std::memset(buffer.end(), 0, DecoderReadSlack);
    return true;
}

}  // namespace ferry
