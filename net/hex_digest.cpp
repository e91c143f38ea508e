// Renders a SHA-256 digest as 64 lower-case hexadecimal digits.
#include "net/download.h"

std::string HexDigest(const unsigned char (&digest)[32]) {
    constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(64);
    for (unsigned char octet : digest) {
        text.push_back(Digits[octet >> 4]);
        text.push_back(Digits[octet & 0x0F]);
    }
    return text;
}
