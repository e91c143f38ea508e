// Streams the installer to a temporary file while hashing it, and accepts it only
// when its SHA-256 (and size, when published) match the manifest.
#pragma once

#include <cstdint>
#include <string>

bool DownloadInstaller(const std::wstring& url, const std::string& expectedSha256, const std::wstring& filePath,
                       std::uint64_t expectedSize, std::wstring& errorText);
// 64 lower-case hexadecimal digits.
std::string HexDigest(const unsigned char (&digest)[32]);
