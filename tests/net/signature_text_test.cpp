// DecodeSignatureText: exactly one 64-byte signature in standard base64, white space only around it.
#include <gtest/gtest.h>

#include <string>

#include "net/signature_text.h"

namespace {

// 0x00 0x01 ... 0x3f, and its base64.
const std::string Counting = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+Pw==";

TEST(DecodeSignatureText, AcceptsOnlyOneStrictSignature) {
    struct Case {
        const char* name;
        std::string text;
        bool accepted;
    };
    const Case cases[] = {
        {"bare", Counting, true},
        {"white space around", " \t\r\n" + Counting + "\r\n\f\v ", true},
        {"white space inside", Counting.substr(0, 40) + "\n" + Counting.substr(40), false},
        {"padding missing", Counting.substr(0, 86), false},
        {"one padding character", Counting.substr(0, 87), false},
        {"bits after the last byte", Counting.substr(0, 85) + "x==", false},
        {"URL-safe alphabet", Counting.substr(0, 83) + "-" + Counting.substr(84), false},
        {"63 bytes", std::string(84, 'A'), false},
        {"65 bytes", Counting.substr(0, 86) + "AAAA==", false},
        {"empty", "", false},
        {"a NUL after it", Counting + std::string(1, '\0'), false},
    };
    for (const Case& c : cases) {
        unsigned char signature[64] = {};
        EXPECT_EQ(DecodeSignatureText(c.text, signature), c.accepted) << c.name;
        if (c.accepted) {
            for (int i = 0; i < 64; ++i) EXPECT_EQ(signature[i], i) << c.name;
        }
    }
}

}  // namespace
