// Fuzzes the manifest byte search: no out-of-bounds read, and what is accepted is well-formed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "pipeline/manifest.h"

namespace {

bool IsWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckExtract(const std::string& body, const std::string& key) {
    const std::string value = ExtractJsonString(body, key);
    // The value sits after the quoted key, a colon and an opening quote, and unescaping only shrinks.
    Require(value.size() + key.size() + 5 <= body.size() || value.empty());
    ExtractJsonUnsigned(body, key);

    const std::string trimmed = TrimWhitespace(value);
    Require(trimmed.size() <= value.size());
    Require(value.find(trimmed) != std::string::npos);
    Require(trimmed.empty() || (!IsWhitespace(trimmed.front()) && !IsWhitespace(trimmed.back())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);

    for (const char* key : {"url", "sha256", "version", "size"}) CheckExtract(body, key);
    // Also any key: the first byte gives its length, taken from the bytes that follow.
    if (size > 0) {
        const std::size_t keyLength = data[0] % 16;
        if (keyLength < size) CheckExtract(body.substr(1 + keyLength), body.substr(1, keyLength));
    }

    const auto manifest = ParseManifest(body);
    if (!manifest) return 0;
    Require(!manifest->url.empty());
    Require(manifest->url == ExtractJsonString(body, "url"));
    Require(manifest->sha256.size() == 64);
    for (char c : manifest->sha256) Require(IsHexDigit(c));
    Require(!manifest->version.empty());
    Require(!IsWhitespace(manifest->version.front()) && !IsWhitespace(manifest->version.back()));
    Require(manifest->size == ExtractJsonUnsigned(body, "size"));
    return 0;
}
