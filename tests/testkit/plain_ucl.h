#pragma once

// The block format written out with plain libucl calls, following the byte layout alone:
// a 4-byte little-endian length, then one NRV2E stream, back to back. Independent of the
// program's stream code, so tests can check that both sides agree with another machine.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ferry::testkit {

// One NRV2E stream of `data` at `level` (the archive's 7 unless told) with the library's
// defaults.
std::string plainCompress(std::string_view data, int level = 7);
// The decoded bytes, or nothing when the decoder reports an error.
std::optional<std::string> plainDecompress(std::string_view compressed, std::size_t maxOutput);

// `data` cut into blocks of `blockSize`, each compressed at `level` and length-prefixed.
std::string plainPayload(std::string_view data, std::size_t blockSize, int level = 7);
// The compressed streams of a payload, in order; nothing when a length runs past the end.
std::optional<std::vector<std::string>> plainBlocks(std::string_view payload);
// The whole decoded payload; nothing on any error.
std::optional<std::string> plainDecodePayload(std::string_view payload, std::size_t blockSize);

// A little-endian field of `width` bytes.
std::string littleEndian(std::uint64_t value, int width);

}  // namespace ferry::testkit
