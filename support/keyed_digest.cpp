#include "support/keyed_digest.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#include "support/little_endian.h"

namespace ferry {
namespace {

void sipRound(std::uint64_t (&v)[4]) {
    v[0] += v[1];
    v[1] = std::rotl(v[1], 13);
    v[1] ^= v[0];
    v[0] = std::rotl(v[0], 32);
    v[2] += v[3];
    v[3] = std::rotl(v[3], 16);
    v[3] ^= v[2];
    v[0] += v[3];
    v[3] = std::rotl(v[3], 21);
    v[3] ^= v[0];
    v[2] += v[1];
    v[1] = std::rotl(v[1], 17);
    v[1] ^= v[2];
    v[2] = std::rotl(v[2], 32);
}

std::uint64_t wordAt(const std::byte* bytes) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    }
    return loadLittleEndian(bytes, 8);
}

void compressWord(std::uint64_t (&v)[4], std::uint64_t word) {
    v[3] ^= word;
    sipRound(v);
    sipRound(v);
    v[0] ^= word;
}

}  // namespace

KeyedDigest::KeyedDigest(const DigestKey& key) {
    const std::uint64_t k0 = wordAt(key.data());
    const std::uint64_t k1 = wordAt(key.data() + 8);
    v_[0] = k0 ^ 0x736f6d6570736575ULL;
    v_[1] = k1 ^ 0x646f72616e646f6dULL ^ 0xee;  // 0xee: the 128-bit output
    v_[2] = k0 ^ 0x6c7967656e657261ULL;
    v_[3] = k1 ^ 0x7465646279746573ULL;
}

void KeyedDigest::add(std::span<const std::byte> bytes) {
    const std::byte* at = bytes.data();
    const std::byte* const end = at + bytes.size();
    total_ += bytes.size();
    while (pendingBytes_ > 0 && at < end) {
        pending_ |= std::to_integer<std::uint64_t>(*at++) << (8 * pendingBytes_);
        if (++pendingBytes_ == 8) {
            compressWord(v_, pending_);
            pending_ = 0;
            pendingBytes_ = 0;
        }
    }
    // The state in locals: the bytes may alias anything, so members would be stored and
    // loaded again for every word.
    std::uint64_t v[4] = {v_[0], v_[1], v_[2], v_[3]};
    for (; end - at >= 8; at += 8) compressWord(v, wordAt(at));
    std::copy(std::begin(v), std::end(v), std::begin(v_));
    for (; at < end; ++at) pending_ |= std::to_integer<std::uint64_t>(*at) << (8 * pendingBytes_++);
}

Digest KeyedDigest::finish() {
    compressWord(v_, pending_ | total_ << 56);
    v_[2] ^= 0xee;
    for (int i = 0; i < 4; ++i) sipRound(v_);
    Digest digest;
    storeLittleEndian(digest.data(), v_[0] ^ v_[1] ^ v_[2] ^ v_[3], 8);
    v_[1] ^= 0xdd;
    for (int i = 0; i < 4; ++i) sipRound(v_);
    storeLittleEndian(digest.data() + 8, v_[0] ^ v_[1] ^ v_[2] ^ v_[3], 8);
    return digest;
}

std::string hexText(std::span<const std::byte> bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (const std::byte b : bytes) {
        text += Digits[std::to_integer<int>(b) >> 4];
        text += Digits[std::to_integer<int>(b) & 15];
    }
    return text;
}

Digest keyedDigestOf(const DigestKey& key, std::span<const std::byte> bytes) {
    KeyedDigest digest(key);
    digest.add(bytes);
    return digest.finish();
}

}  // namespace ferry
