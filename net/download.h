// Streams the installer to a temporary file, then accepts it only when the bytes held
// for the setup's run have the manifest's SHA-256 (and size, when published).
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include "common/error_text.h"
#include "common/win_owners.h"
#include "net/https.h"

// Told each download percentage (5..83) as the bytes arrive; may repeat a value.
struct DownloadProgress {
    void (*report)(void* context, int percent) = nullptr;
    void* context = nullptr;
};

// On success `verifiedFile` holds the file open for reading, sharing it for reading
// only: nobody can change, rename or delete it while it is held, yet it can still be
// started; the digest was taken through that very handle. Untouched on failure.
bool DownloadInstaller(const std::wstring& url, const std::string& expectedSha256, const std::wstring& filePath,
                       std::uint64_t expectedSize, const DownloadProgress& progress, UniqueFileHandle& verifiedFile,
                       ErrorText& errorText, const StallBound& stall = {});
#endif
// 64 lower-case hexadecimal digits.
std::string HexDigest(const unsigned char (&digest)[32]);
// What the installer says of a download that is not the published setup.
inline constexpr wchar_t DigestMismatch[] = L"Security check failed: installer SHA-256 did not match.";
inline constexpr wchar_t SizeMismatch[] = L"Installer size did not match the published release.";
