// Streams the installer to a temporary file while hashing it, and accepts it only
// when its SHA-256 (and size, when published) match the manifest.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include "common/win_owners.h"

// On success `verifiedFile` holds the file open for reading, sharing it for reading
// only: nobody can change, rename or delete it while it is held, yet it can still be
// started. Untouched on failure.
bool DownloadInstaller(const std::wstring& url, const std::string& expectedSha256, const std::wstring& filePath,
                       std::uint64_t expectedSize, UniqueFileHandle& verifiedFile, std::wstring& errorText);
#endif
// 64 lower-case hexadecimal digits.
std::string HexDigest(const unsigned char (&digest)[32]);
