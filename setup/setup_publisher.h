// Checks that the setup program about to run is Authenticode-signed by the pinned publisher.
#pragma once

#include <string>

#include <windows.h>

#include "common/error_text.h"

// How long the revocation check may spend fetching revocation lists and OCSP answers, in all.
constexpr DWORD RevocationRetrievalMs = 5000;
// The longest publisher name the check compares; the build refuses a longer pin.
constexpr std::size_t MaxPublisherChars = 255;

// True when the file held by `heldFile` (its path beside it) carries a valid Authenticode
// signature that Windows trusts, whose signing certificate's subject common name is
// exactly `publisher`, and whose chain is not known to be revoked. Checked through the
// handle, so what is checked is what runs.
bool CheckSetupPublisher(HANDLE heldFile, const std::wstring& path, const wchar_t* publisher,
                         ErrorText& errorText);
