#include "tests/testkit/plain_ucl.h"

#include <stdexcept>

#include <ucl/ucl.h>

namespace ferry::testkit {

std::string plainCompress(std::string_view data, int level) {
    if (ucl_init() != UCL_E_OK) throw std::runtime_error("ucl_init failed");
    std::string out(data.size() + data.size() / 8 + 256, '\0');
    ucl_uint outLength = static_cast<ucl_uint>(out.size());
    const int result = ucl_nrv2e_99_compress(
        reinterpret_cast<const unsigned char*>(data.data()), static_cast<ucl_uint>(data.size()),
        reinterpret_cast<unsigned char*>(out.data()), &outLength, nullptr, level, nullptr, nullptr);
    if (result != UCL_E_OK) throw std::runtime_error("ucl_nrv2e_99_compress failed");
    out.resize(outLength);
    return out;
}

std::optional<std::string> plainDecompress(std::string_view compressed, std::size_t maxOutput) {
    // Room after the input: the library's decoder may look one byte past it.
    std::string input(compressed);
    input.append(16, '\0');
    std::string out(maxOutput, '\0');
    ucl_uint outLength = static_cast<ucl_uint>(out.size());
    const int result = ucl_nrv2e_decompress_safe_8(
        reinterpret_cast<const unsigned char*>(input.data()),
        static_cast<ucl_uint>(compressed.size()), reinterpret_cast<unsigned char*>(out.data()),
        &outLength, nullptr);
    if (result != UCL_E_OK) return std::nullopt;
    out.resize(outLength);
    return out;
}

std::string littleEndian(std::uint64_t value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
    return bytes;
}

std::string plainPayload(std::string_view data, std::size_t blockSize, int level) {
    std::string payload;
    for (std::size_t at = 0; at < data.size(); at += blockSize) {
        const std::string block = plainCompress(data.substr(at, blockSize), level);
        payload += littleEndian(block.size(), 4) + block;
    }
    return payload;
}

std::optional<std::vector<std::string>> plainBlocks(std::string_view payload) {
    std::vector<std::string> blocks;
    while (!payload.empty()) {
        if (payload.size() < 4) return std::nullopt;
        std::uint32_t length = 0;
        for (int i = 3; i >= 0; --i)
            length = (length << 8) | static_cast<unsigned char>(payload[i]);
        if (payload.size() - 4 < length) return std::nullopt;
        blocks.emplace_back(payload.substr(4, length));
        payload.remove_prefix(4 + length);
    }
    return blocks;
}

std::optional<std::string> plainDecodePayload(std::string_view payload, std::size_t blockSize) {
    const auto blocks = plainBlocks(payload);
    if (!blocks) return std::nullopt;
    std::string data;
    for (const std::string& block : *blocks) {
        const auto decoded = plainDecompress(block, blockSize);
        if (!decoded) return std::nullopt;
        data += *decoded;
    }
    return data;
}

}  // namespace ferry::testkit
