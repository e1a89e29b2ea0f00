#pragma once

// SipHash-2-4 with its 128-bit output: a digest that only the holder of the key can
// compute, so bytes from outside (a medium anyone may have written) cannot be made to
// match a digest this machine kept, even by someone who knows the bytes it was taken of.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ferry {

using DigestKey = std::array<std::byte, 16>;
using Digest = std::array<std::byte, 16>;

// Takes bytes in pieces of any length; the digest is that of all of them in order.
class KeyedDigest {
  public:
    explicit KeyedDigest(const DigestKey& key);
    void add(std::span<const std::byte> bytes);
    // The digest of everything added; the object is spent after it.
    Digest finish();

  private:
    std::uint64_t v_[4];
    std::uint64_t pending_ = 0;  // the bytes of an unfinished word, first byte lowest
    unsigned pendingBytes_ = 0;
    std::uint64_t total_ = 0;
};

Digest keyedDigestOf(const DigestKey& key, std::span<const std::byte> bytes);

// Two lower-case hex digits per byte, first byte first: a digest as a file name or text.
std::string hexText(std::span<const std::byte> bytes);

}  // namespace ferry
