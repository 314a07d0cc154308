// SHA-1 against the FIPS 180-1 / RFC 3174 vectors and base64 against RFC 4648.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "codec/base64.h"
#include "websocket/sha1.h"

using namespace vorn;

namespace {

std::string Hex(const std::uint32_t (&words)[kSha1HashWords]) {
    std::string text;
    char word[9];
    for (std::uint32_t value : words) {
        std::snprintf(word, sizeof(word), "%08x", static_cast<unsigned>(value));
        text += word;
    }
    return text;
}

std::string DigestOf(const std::string& text) {
    std::uint32_t words[kSha1HashWords] = {};
    EXPECT_EQ(Sha1Digest(text.c_str(), words), 0);
    return Hex(words);
}

std::string DigestOfRepeated(const std::string& piece, int times) {
    Sha1Context context;
    Sha1Reset(&context);
    for (int i = 0; i < times; ++i) {
        EXPECT_EQ(
            Sha1Input(&context, reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()),
            kSha1Success);
    }
    std::uint32_t words[kSha1HashWords] = {};
    EXPECT_EQ(Sha1Result(&context, words), kSha1Success);
    return Hex(words);
}

std::string Base64Of(const std::string& bytes) {
    std::string out(Base64EncodedSize(bytes.size()) + 1, '?');
    EncodeBase64(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out.data());
    EXPECT_EQ(out.back(), '\0');
    out.pop_back();
    return out;
}

TEST(Sha1, PublishedVectors) {
    EXPECT_EQ(DigestOf("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(DigestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(DigestOf(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(DigestOfRepeated("a", 1000000), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    EXPECT_EQ(DigestOfRepeated("01234567012345670123456701234567", 20),
              "dea356a2cddd90c7a7ecedc5ebb563934f460452");
}

// Lengths around the point where the bit count no longer fits the last block.
TEST(Sha1, PaddingBoundaries) {
    EXPECT_EQ(DigestOf(std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(DigestOf(std::string(56, 'a')), "c2db330f6083854c99d4b5bfb6e8f29f201be699");
    EXPECT_EQ(DigestOf(std::string(63, 'a')), "03f09f5b158a7a8cdad920bddc29b81c18a551f5");
    EXPECT_EQ(DigestOf(std::string(64, 'a')), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
    EXPECT_EQ(DigestOf(std::string(65, 'a')), "11655326c708d70319be2610e8a57d9a5b959d3b");
    EXPECT_EQ(DigestOf(std::string(119, 'a')), "ee971065aaa017e0632a8ca6c77bb3bf8b1dfc56");
    EXPECT_EQ(DigestOf(std::string(120, 'a')), "f34c1488385346a55709ba056ddd08280dd4c6d6");
}

TEST(Sha1, CorruptedStates) {
    const std::uint8_t byte = 'a';
    std::uint32_t words[kSha1HashWords] = {};

    // A message of 2^64 bits cannot be counted.
    Sha1Context full;
    Sha1Reset(&full);
    full.length_high = 0xFFFFFFFFu;
    full.length_low = 0xFFFFFFF8u;
    EXPECT_EQ(Sha1Input(&full, &byte, 1), kSha1InputTooLong);
    EXPECT_EQ(Sha1Result(&full, words), kSha1InputTooLong);

    // Input after the result was taken spoils the state.
    Sha1Context done;
    Sha1Reset(&done);
    EXPECT_EQ(Sha1Result(&done, words), kSha1Success);
    EXPECT_EQ(Sha1Input(&done, &byte, 1), kSha1StateError);
    EXPECT_EQ(Sha1Result(&done, words), kSha1StateError);

    EXPECT_EQ(Sha1Reset(nullptr), kSha1Null);
    EXPECT_EQ(Sha1Input(nullptr, &byte, 1), kSha1Null);
}

TEST(Base64, PublishedVectors) {
    EXPECT_EQ(Base64Of(""), "");
    EXPECT_EQ(Base64Of("f"), "Zg==");
    EXPECT_EQ(Base64Of("fo"), "Zm8=");
    EXPECT_EQ(Base64Of("foo"), "Zm9v");
    EXPECT_EQ(Base64Of("foob"), "Zm9vYg==");
    EXPECT_EQ(Base64Of("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64Of("foobar"), "Zm9vYmFy");
    // Every digit of the alphabet, from the bytes whose six-bit groups count 0 to 63.
    std::string all;
    for (int group = 0; group < 64; group += 4) {
        std::uint32_t bits = (group << 18) | ((group + 1) << 12) | ((group + 2) << 6) | (group + 3);
        all += static_cast<char>(bits >> 16);
        all += static_cast<char>(bits >> 8);
        all += static_cast<char>(bits);
    }
    EXPECT_EQ(Base64Of(all), "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

TEST(Base64, DigestTextIsTwentyEightCharacters) {
    std::uint8_t digest[20];
    for (int i = 0; i < 20; ++i) {
        digest[i] = static_cast<std::uint8_t>(0xF0 + i);
    }
    std::unique_ptr<char[]> text = Base64Digest(digest);
    ASSERT_TRUE(text);
    EXPECT_EQ(std::string(text.get()), "8PHy8/T19vf4+fr7/P3+/wABAgM=");
}

}  // namespace
