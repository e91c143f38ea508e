// Building a release manifest that the installer will accept, and refusing one it would not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/progress.h"  // MaxInstallerBytes: the installer refuses larger downloads

struct PublishInput {
    std::string url;      // https URL of the setup program on the service host
    std::string version;  // release version text
    std::string sha256;   // 64 lower-case hexadecimal digits of the setup program
    std::uint64_t size = 0;  // bytes of the setup program
    // For installers with release keys: the release's sequence number and when the signed
    // manifest stops being accepted ("YYYY-MM-DDTHH:MM:SSZ"); both written when serial is set.
    std::optional<std::uint64_t> serial;
    std::string expires;
};

// True when `url` is https on ServiceHost or its www. form, printable ASCII, with
// no user information, backslash or quote, at most a numeric port, and its path (if any)
// right after the authority: narrower than what the installer accepts, never wider.
bool IsPublishableUrl(const std::string& url);
// JSON string escaping with only the escapes the installer's parser decodes, and
// \u00XX for the remaining control bytes (which the self-check then refuses).
std::string JsonEscape(const std::string& text);
std::string ManifestJson(const PublishInput& input);
// Validates `input`, writes the manifest into `json` and checks it with the
// installer's own ParseManifest. On failure replaces `errorText` with one sentence.
bool BuildManifest(const PublishInput& input, std::string& json, std::string& errorText);
// The bytes of the file at `path`; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// `seconds` since 1601-01-01T00:00:00Z as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcTimeText(std::uint64_t seconds);
// `manifest` with the value of its "expires" replaced by `expires`, every other byte kept,
// checked with the installer's own readers. On failure replaces `errorText` with one sentence.
bool RenewExpiry(const std::string& manifest, const std::string& expires, std::string& renewed,
                 std::string& errorText);
