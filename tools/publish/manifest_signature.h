// Signing the release manifest for the installer: ECDSA P-256 over SHA-256, r‖s in base64.
#pragma once

#include <openssl/evp.h>

#include <string>

#include "common/owners.h"

using UniquePkey = UniqueNullHandle<EVP_PKEY*, EVP_PKEY_free>;

// Reads an unencrypted EC P-256 private key (PEM) from `path`. On failure replaces
// `errorText` with one sentence.
bool LoadSigningKey(const std::string& path, UniquePkey& key, std::string& errorText);

// r‖s from a DER ECDSA-Sig-Value, each left-padded to 32 bytes; false when the DER
// does not parse or either number needs more than 32 bytes.
bool P1363FromDer(const std::string& der, std::string& p1363);

// The signature file's text: the base64 (with padding) of the 64-byte r‖s over
// SHA-256 of `body`, and a line feed. It is checked against the key's public half,
// taken through its SubjectPublicKeyInfo form as the installer is built with it,
// before it is returned. On failure replaces `errorText` with one sentence.
bool SignManifest(EVP_PKEY* key, const std::string& body, std::string& signatureText, std::string& errorText);
