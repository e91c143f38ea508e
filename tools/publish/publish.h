// Building a release manifest that the installer will accept, and refusing one it would not.
#pragma once

#include <cstdint>
#include <string>

#include "net/progress.h"  // MaxInstallerBytes: the installer refuses larger downloads


struct PublishInput {
    std::string url;      // https URL of the setup program on the service host
    std::string version;  // release version text
    std::string sha256;   // 64 lower-case hexadecimal digits of the setup program
    std::uint64_t size = 0;  // bytes of the setup program
};

// True when `url` is https on ServiceHost or its www. form, printable ASCII, with
// no user information, backslash or quote, and at most a numeric port.
bool IsPublishableUrl(const std::string& url);
// JSON string escaping with only the escapes the installer's parser decodes, and
// \u00XX for the remaining control bytes (which the self-check then refuses).
std::string JsonEscape(const std::string& text);
std::string ManifestJson(const PublishInput& input);
// Validates `input`, writes the manifest into `json` and checks it with the
// installer's own ParseManifest. On failure replaces `errorText` with one sentence.
bool BuildManifest(const PublishInput& input, std::string& json, std::string& errorText);
