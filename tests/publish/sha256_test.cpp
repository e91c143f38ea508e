// The publishing tool's SHA-256 against the FIPS 180-4 vectors and padding boundaries.
#include <gtest/gtest.h>

#include <string>

#include "tools/publish/sha256.h"

namespace {

// Bytes (i*7+3) mod 256: deterministic, not all printable.
std::string Pattern(std::size_t length) {
    std::string data;
    for (std::size_t i = 0; i < length; ++i) data.push_back(static_cast<char>((i * 7 + 3) % 256));
    return data;
}

TEST(Sha256, KnownVectors) {
    struct Case {
        const char* name;
        std::string data;
        const char* digest;
    };
    const Case cases[] = {
        {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"896 bits",
         "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {"million a", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // Lengths around the 56-byte padding limit and the 64-byte block.
        {"55 bytes", Pattern(55), "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {"56 bytes", Pattern(56), "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {"63 bytes", Pattern(63), "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {"64 bytes", Pattern(64), "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {"65 bytes", Pattern(65), "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
        {"119 bytes", Pattern(119), "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {"120 bytes", Pattern(120), "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Sha256Hex(c.data), c.digest);
    }
}

// Streaming in pieces of any size gives the one-shot digest.
TEST(Sha256, PiecesGiveTheSameDigest) {
    const std::string data = Pattern(300);
    const std::string whole = Sha256Hex(data);
    for (std::size_t piece : {1u, 3u, 55u, 63u, 64u, 65u, 128u, 299u}) {
        SCOPED_TRACE(piece);
        Sha256State state;
        Sha256Init(state);
        for (std::size_t at = 0; at < data.size(); at += piece) {
            Sha256Update(state, data.data() + at, std::min(piece, data.size() - at));
        }
        EXPECT_EQ(Sha256FinalHex(state), whole);
    }
}

}  // namespace
