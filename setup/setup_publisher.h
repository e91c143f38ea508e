// Checks that the setup program about to run is Authenticode-signed by the pinned publisher.
#pragma once

#include <cstddef>
#include <string>

#include <windows.h>

#include "common/error_text.h"

// How long the revocation check may spend fetching revocation lists and OCSP answers, in all.
constexpr DWORD RevocationRetrievalMs = 5000;
// The longest publisher name the check compares; the build refuses a longer pin.
constexpr std::size_t MaxPublisherChars = 255;

// Who must have signed the setup program.
struct SetupSigner {
    const wchar_t* publisher = nullptr;               // exact subject common name of the signing certificate
    const unsigned char (*issuerKeys)[32] = nullptr;  // SHA-256 of the SubjectPublicKeyInfo of its issuer's certificate
    std::size_t issuerKeyCount = 0;                   // 0: any issuer Windows trusts
};

// True when the file held by `heldFile` (its path beside it) carries a valid Authenticode
// signature that Windows trusts, whose signing certificate's subject common name is
// exactly `pin.publisher`, whose issuing certificate in the chain Windows built has one of
// `pin.issuerKeys` (when any is given), and whose chain is not known to be revoked.
// Checked through the handle, so what is checked is what runs.
bool CheckSetupPublisher(HANDLE heldFile, const std::wstring& path, const SetupSigner& pin, ErrorText& errorText);
