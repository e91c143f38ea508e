// Release manifest fields found by searching the raw bytes for each quoted key.
#include "pipeline/manifest.h"

#include <cstddef>

namespace {

constexpr std::size_t Sha256HexDigits = 64;
constexpr std::uint64_t MaxUnsigned = ~std::uint64_t{0};

// Single bytes only: 0x80 and up belong to no class, whatever the locale says.
bool IsWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) {
    return IsDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Start of the value of the first `"key"` anywhere in the body, or npos. Structure is
// ignored on purpose: the manifest is a flat object and this is no JSON parser.
std::size_t LocateValue(const std::string& body, const std::string& key) {
    const std::string needle = '"' + key + '"';
    if (needle.size() > body.size()) return std::string::npos;
    const std::size_t found = body.find(needle);
    if (found == std::string::npos) return std::string::npos;
    const std::size_t afterNeedle = found + needle.size();
    if (afterNeedle == body.size()) return std::string::npos;
    const std::size_t colon = body.find(':', afterNeedle);
    if (colon == std::string::npos) return std::string::npos;
    std::size_t position = colon + 1;
    while (position < body.size() && IsWhitespace(body[position])) ++position;
    if (position == body.size()) return std::string::npos;
    return position;
}

char UnescapedByte(char c) {
    switch (c) {
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;  // '"', '/', '\\' and anything else stand for themselves; \u is not decoded
    }
}

}  // namespace

std::string ExtractJsonString(const std::string& body, const std::string& key) {
    const std::size_t start = LocateValue(body, key);
    if (start == std::string::npos || body[start] != '"') return {};
    std::string value;
    for (std::size_t i = start + 1; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '"') return value;
        if (c == '\\') {
            ++i;
            if (i == body.size()) return {};
            value.push_back(UnescapedByte(body[i]));
            continue;
        }
        value.push_back(c);
    }
    return {};  // unterminated
}

std::uint64_t ExtractJsonUnsigned(const std::string& body, const std::string& key) {
    const std::size_t start = LocateValue(body, key);
    if (start == std::string::npos) return 0;
    std::uint64_t value = 0;
    for (std::size_t i = start; i < body.size() && IsDecimalDigit(body[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(body[i] - '0');
        if (value > (MaxUnsigned - digit) / 10) return 0;  // out of range: size unknown
        value = value * 10 + digit;
    }
    return value;
}

std::string TrimWhitespace(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsWhitespace(text[first])) ++first;
    while (last > first && IsWhitespace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

std::optional<ReleaseManifest> ParseManifest(const std::string& body) {
    ReleaseManifest manifest;
    manifest.url = ExtractJsonString(body, "url");
    manifest.sha256 = TrimWhitespace(ExtractJsonString(body, "sha256"));
    manifest.version = TrimWhitespace(ExtractJsonString(body, "version"));
    manifest.size = ExtractJsonUnsigned(body, "size");

    if (manifest.url.empty() || manifest.version.empty()) return std::nullopt;
    if (manifest.sha256.size() != Sha256HexDigits) return std::nullopt;
    for (char c : manifest.sha256) {
        if (!IsHexDigit(c)) return std::nullopt;
    }
    return manifest;
}
