// The release manifest: located by byte search for each quoted key, not parsed as JSON.
#pragma once

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
