// The release manifest: located by byte search for each quoted key, not parsed as JSON.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct ReleaseManifest {
    std::string url;      // UTF-8, as unescaped, not trimmed
    std::string sha256;   // 64 hexadecimal digits, case as received
    std::string version;  // non-empty
    std::uint64_t size = 0;  // bytes; 0 when absent or unusable
};

std::optional<ReleaseManifest> ParseManifest(const std::string& body);
std::string ExtractJsonString(const std::string& body, const std::string& key);
std::uint64_t ExtractJsonUnsigned(const std::string& body, const std::string& key);
std::string TrimWhitespace(const std::string& text);
// Where the value of the first `"key"` starts (past the colon and white space), or npos.
std::size_t LocateJsonValue(const std::string& body, const std::string& key);

// A JSON number that is a plain integer: digits without a leading zero, sign, fraction or
// exponent, at most 2^64 - 1, ended by the body, white space, ',' or '}'; nullopt otherwise.
std::optional<std::uint64_t> ExtractJsonInteger(const std::string& body, const std::string& key);
// `text` written exactly "YYYY-MM-DDTHH:MM:SSZ", a real UTC date and time from 1601 on (no
// leap second), as seconds since 1601-01-01T00:00:00Z, the epoch of FILETIME; nullopt otherwise.
std::optional<std::uint64_t> ParseUtcTime(const std::string& text);

// What a signed manifest says of its own age, checked in this order: "expires" later than
// `now` (seconds since 1601, UTC), then "serial" at least `minSerial`.
enum class Freshness { Fresh, Expired, Older };
inline constexpr wchar_t ManifestExpired[] = L"Security check failed: release manifest has expired.";
inline constexpr wchar_t ManifestOlder[] = L"Security check failed: release manifest is older than this installer.";
// What the installer says of a manifest it cannot read.
inline constexpr wchar_t ManifestUnavailable[] = L"Installation files are temporarily unavailable.";
// 1970-01-01T00:00:00Z in seconds since 1601-01-01T00:00:00Z.
constexpr std::uint64_t UnixEpochSince1601 = 11644473600;
Freshness CheckFreshness(const std::string& body, std::uint64_t now, std::uint64_t minSerial);
