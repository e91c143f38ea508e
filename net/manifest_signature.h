// Checks the release manifest's signature with the release keys built into the installer.
#pragma once

#include <cstddef>
#include <string>

#include "common/error_text.h"
#include "net/signature_text.h"

// The P-256 keys a manifest may be signed by: more than one while a key is being replaced,
// or when several key holders must each sign.
struct ReleaseKeys {
    const unsigned char (*points)[64] = nullptr;  // each key's public point X‖Y, 32 bytes each, big-endian
    std::size_t count = 0;                        // 0: no key is pinned
    std::size_t threshold = 1;                    // how many of them must have signed, 1 to count
};

// True when lines of `signatureText` (the signature file as fetched) hold valid ECDSA P-256
// signatures over SHA-256 of `body`, exactly as received, by at least `keys.threshold`
// distinct keys of `keys`. Verified with CNG.
bool VerifyManifestSignature(const std::string& body, const std::string& signatureText, const ReleaseKeys& keys,
                             ErrorText& errorText);
