#pragma once

// Moving test bytes into and out of streams.

#include <cstdint>
#include <string>
#include <string_view>

#include "compress/stream.h"

namespace ferry::testkit {

// A memory stream holding `bytes`, positioned at 0.
StreamPtr memoryStreamWith(std::string_view bytes);
// Every byte of a memory stream, whatever its position.
std::string memoryBytes(const Stream& stream);
// Reads in pieces of `piece` bytes until a short read or a failure; the bytes delivered.
std::string readToEnd(Stream& stream, std::uint32_t piece = 4096);
// Writes all of `bytes` in one write; the write's result.
std::uint32_t writeText(Stream& stream, std::string_view bytes);

// `count` bytes of text that compresses well but not to nothing.
std::string sourceLikeText(std::size_t count);
// `count` bytes that do not compress at all (a fixed seed, so runs repeat).
std::string randomBytes(std::size_t count, std::uint32_t seed = 1);

}  // namespace ferry::testkit
