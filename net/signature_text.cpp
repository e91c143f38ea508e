// Decodes the signature file's base64 strictly: each line one signature, at most four.
#include "net/signature_text.h"

namespace {

bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// The value of one base64 digit, or -1.
int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// text[start, end), white space already cut off, as the base64 of exactly 64 bytes.
bool DecodeOne(const std::string& text, std::size_t start, std::size_t end, unsigned char (&signature)[64]) {
    // 64 bytes: 21 groups of four digits for 63 bytes, then two digits and "==" for the last.
    constexpr std::size_t Digits = 86;
    if (end - start != Digits + 2 || text[end - 2] != '=' || text[end - 1] != '=') return false;
    unsigned bits = 0;
    int pending = 0;  // bits held in `bits`
    std::size_t written = 0;
    for (std::size_t i = start; i < start + Digits; ++i) {
        const int value = DigitValue(text[i]);
        if (value < 0) return false;
        bits = (bits << 6) | static_cast<unsigned>(value);
        pending += 6;
        if (pending >= 8) {
            pending -= 8;
            signature[written++] = static_cast<unsigned char>(bits >> pending);
            bits &= (1u << pending) - 1;
        }
    }
    // 86 digits carry 516 bits: the 64 bytes, and 4 bits that must be zero.
    return bits == 0;
}

}  // namespace

bool DecodeSignatureLines(const std::string& text, unsigned char (&signatures)[MaxSignatureLines][64],
                          std::size_t& count) {
    count = 0;
    for (std::size_t lineStart = 0; lineStart < text.size();) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = text.size();
        std::size_t start = lineStart;
        std::size_t end = lineEnd;
        lineStart = lineEnd + 1;
        while (start < end && IsAsciiSpace(text[start])) ++start;
        while (end > start && IsAsciiSpace(text[end - 1])) --end;
        if (start == end) continue;
        if (count == MaxSignatureLines || !DecodeOne(text, start, end, signatures[count])) return false;
        ++count;
    }
    return count > 0;
}
