// Fuzzes the manifest byte search: no out-of-bounds read, and what is accepted is well-formed;
// the release date and serial readers agree with independent readings.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
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

// Seconds since 1601 back to "YYYY-MM-DDTHH:MM:SSZ", by days-to-civil counting from 0000-03-01.
std::string UtcText(std::uint64_t seconds) {
    const std::uint64_t days = seconds / 86400 + 584694;  // 1601-01-01 is day 584,694 after 0000-03-01
    const std::uint64_t era = days / 146097, dayOfEra = days % 146097;
    const std::uint64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::uint64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const std::uint64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const std::uint64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const std::uint64_t year = yearOfEra + era * 400 + (month <= 2);
    using Wide = unsigned long long;
    char text[32];
    std::snprintf(text, sizeof(text), "%04llu-%02llu-%02lluT%02llu:%02llu:%02lluZ", Wide{year}, Wide{month}, Wide{day},
                  Wide{seconds / 3600 % 24}, Wide{seconds / 60 % 60}, Wide{seconds % 60});
    return text;
}

void CheckFreshnessReaders(const std::string& body) {
    // A time that is read is written back the same; only the 20-character form is one.
    for (const std::string& text : {body, ExtractJsonString(body, "expires")}) {
        const std::optional<std::uint64_t> time = ParseUtcTime(text);
        if (time) Require(UtcText(*time) == text);
    }
    // A plain integer is the run of digits the lenient reader finds too.
    const std::optional<std::uint64_t> serial = ExtractJsonInteger(body, "serial");
    if (serial) Require(*serial == ExtractJsonUnsigned(body, "serial"));
    const Freshness freshness = CheckFreshness(body, 13353724800, 5);
    const std::optional<std::uint64_t> expires = ParseUtcTime(ExtractJsonString(body, "expires"));
    if (freshness == Freshness::Fresh) Require(expires && *expires > 13353724800 && serial && *serial >= 5);
    if (freshness == Freshness::Older) Require(expires && (!serial || *serial < 5));
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

    CheckFreshnessReaders(body);

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
