// Signing the release manifest for the installer: ECDSA P-256 over SHA-256, r‖s in base64,
// and checking a signature file as a pinned installer reads it.
#pragma once

#include <openssl/evp.h>

#include <string>
#include <vector>

#include "common/owners.h"

using UniquePkey = UniqueNullHandle<EVP_PKEY*, EVP_PKEY_free>;

// Reads an unencrypted EC P-256 private key (PEM) from `path`. On failure replaces
// `errorText` with one sentence.
bool LoadSigningKey(const std::string& path, UniquePkey& key, std::string& errorText);
// The release keys of `paths`, read by the rules of the installer's build
// (cmake/release_trust.py): each file SubjectPublicKeyInfo PEM blocks with nothing but
// spaces, tabs and line ends around them, each block's base64 the standard encoding of an
// ECDSA P-256 key with an uncompressed point on the curve; one to four keys in all, none
// twice. On a refusal replaces `errorText` with one sentence.
bool LoadReleaseKeys(const std::vector<std::string>& paths, std::vector<UniquePkey>& keys, std::string& errorText);

// r‖s from a DER ECDSA-Sig-Value, each left-padded to 32 bytes; false when the DER
// does not parse or either number needs more than 32 bytes.
bool P1363FromDer(const std::string& der, std::string& p1363);

// One line of the signature file: the base64 (with padding) of the 64-byte r‖s over
// SHA-256 of `body`, and a line feed. It is checked against the key's public half, taken
// through its SubjectPublicKeyInfo form as the installer is built with it, and read back
// with the installer's own decoder, before it is returned. On failure replaces `errorText`.
bool SignManifest(EVP_PKEY* key, const std::string& body, std::string& signatureLine, std::string& errorText);
// What a pinned installer makes of `signatureText` for `body`: true when the installer's
// decoder reads it and lines by at least `threshold` distinct keys of `keys` verify.
// Otherwise `sentence` is the installer's.
bool VerifySignatureText(const std::vector<UniquePkey>& keys, std::size_t threshold, const std::string& body,
                         const std::string& signatureText, std::wstring& sentence);
// The lines of `signatureText` that none of `signingKeys` (private keys) made over `body`,
// each as a line of the signature file; false when the installer's decoder cannot read it.
bool LinesByOtherKeys(const std::vector<UniquePkey>& signingKeys, const std::string& body,
                      const std::string& signatureText, std::vector<std::string>& lines);
