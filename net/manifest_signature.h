// Checks the release manifest's signature with the release key built into the installer.
#pragma once

#include <string>

#include "common/error_text.h"

inline constexpr wchar_t ManifestNotSigned[] = L"Security check failed: release manifest is not signed.";

// True when `signatureText` (the signature file as fetched) holds a valid ECDSA P-256
// signature over SHA-256 of `body`, exactly as received, by `releaseKey`: the key's public
// point X‖Y, 32 bytes each, big-endian. Verified with CNG.
bool VerifyManifestSignature(const std::string& body, const std::string& signatureText,
                             const unsigned char* releaseKey, ErrorText& errorText);
