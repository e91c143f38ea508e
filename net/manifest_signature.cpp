// The release manifest's ECDSA P-256 signature, verified with CNG against the built-in keys.
#include "net/manifest_signature.h"

#include <cstring>

#include "common/win_owners.h"

namespace {

bool Failed(NTSTATUS status) { return status < 0; }

// A step that fails leaves the signature unverified: the manifest is refused with the
// mismatch sentence, the code telling a broken platform from a wrong signature.
bool NoMatch(ErrorText& errorText, NTSTATUS status) {
    return Fail(errorText, ManifestSignatureMismatch, static_cast<DWORD>(status));
}

}  // namespace

bool VerifyManifestSignature(const std::string& body, const std::string& signatureText, const ReleaseKeys& keys,
                             ErrorText& errorText) {
    unsigned char signatures[MaxSignatureLines][64] = {};
    std::size_t lines = 0;
    if (!DecodeSignatureLines(signatureText, signatures, lines)) return Fail(errorText, ManifestNotSigned);

    unsigned char digest[32] = {};
    auto* bytes = reinterpret_cast<PUCHAR>(const_cast<char*>(body.data()));  // CNG takes no const
    NTSTATUS status = BCryptHash(Sha256Algorithm(), nullptr, 0, bytes, static_cast<ULONG>(body.size()), digest,
                                 sizeof(digest));
    if (Failed(status)) return NoMatch(errorText, status);
    UniqueAlgorithmProvider ecdsa;
    status = BCryptOpenAlgorithmProvider(ecdsa.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
    if (Failed(status)) return NoMatch(errorText, status);

    // An ECC public key blob: its header, then X and Y.
    struct {
        BCRYPT_ECCKEY_BLOB header;
        unsigned char point[64];
    } blob{{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32}, {}};
    // Each key counts once, whichever of its lines verifies: with a threshold of one, any line
    // by any key (during a rotation old installers find the old key's line, new ones the new
    // key's); with more, no single stolen key can sign a release.
    std::size_t signers = 0;
    for (std::size_t k = 0; k < keys.count; ++k) {
        std::memcpy(blob.point, keys.points[k], sizeof(blob.point));
        UniqueKey key;
        status = BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                                     reinterpret_cast<PUCHAR>(&blob), sizeof(blob), 0);
        if (Failed(status)) continue;
        for (std::size_t line = 0; line < lines; ++line) {
            status = BCryptVerifySignature(key.get(), nullptr, digest, sizeof(digest), signatures[line],
                                           sizeof(signatures[line]), 0);
            if (Failed(status)) continue;
            if (++signers >= keys.threshold) return true;
            break;
        }
    }
    return NoMatch(errorText, status);
}
