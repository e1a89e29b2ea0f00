#include "compress/block_stream.h"

#include <cstring>
#include <new>

#include <ucl/ucl.h>

#include "support/little_endian.h"

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

std::uint32_t compressInPlace(const BlockBuffer& buffer, std::uint32_t length, std::int32_t level,
                              ucl_progress_callback_t* progress) {
    ucl_uint compressedLength = buffer.size;
    const int result = ucl_nrv2e_99_compress(reinterpret_cast<const ucl_bytep>(buffer.inputArea()),
                                             length, reinterpret_cast<ucl_bytep>(buffer.start()),
                                             &compressedLength, progress, level, nullptr, nullptr);
    return result == UCL_E_OK ? static_cast<std::uint32_t>(compressedLength) : 0;
}

bool writeBlock(Stream& destination, const std::byte* block, std::uint32_t length) {
    std::byte field[4];
    storeLittleEndian(field, length, 4);
    return write(destination, field, 4) == 4 && write(destination, block, length) == length;
}

}  // namespace ferry
