#include "support/keyed_digest.h"

#include <cstddef>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ferry {
namespace {

DigestKey referenceKey() {
    DigestKey key;
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::byte>(i);
    return key;
}

// The reference vector of SipHash-2-4 with 128-bit output: key 00..0f, empty message.
TEST(KeyedDigest, GivesTheReferenceDigest) {
    EXPECT_EQ(hexText(keyedDigestOf(referenceKey(), {})), "a3817f04ba25a8e66df67214c7550293");
}

// Bytes handed over in pieces give the digest of the whole, for every way of cutting
// across word boundaries; another key or one changed byte gives another digest.
TEST(KeyedDigest, PiecesGiveTheDigestOfTheWhole) {
    std::vector<std::byte> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::byte>(i * 7 + 1);
    const DigestKey key = referenceKey();
    const Digest whole = keyedDigestOf(key, bytes);
    for (const std::size_t piece : {1u, 3u, 7u, 8u, 9u, 16u, 33u}) {
        KeyedDigest digest(key);
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            digest.add(std::span(bytes).subspan(at, std::min(piece, bytes.size() - at)));
        EXPECT_EQ(digest.finish(), whole) << "pieces of " << piece;
    }
    DigestKey otherKey = key;
    otherKey[15] ^= std::byte{1};
    EXPECT_NE(keyedDigestOf(otherKey, bytes), whole);
    bytes[50] ^= std::byte{0x80};
    EXPECT_NE(keyedDigestOf(key, bytes), whole);
}

}  // namespace
}  // namespace ferry
