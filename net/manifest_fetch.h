// Downloads the release manifest into memory, at most 1 MiB, and its signature file.
#pragma once

#include <string>

#include "common/error_text.h"
#include "net/https.h"
#include "net/progress.h"  // MaxManifestBytes

bool FetchManifest(const std::wstring& url, std::string& body, ErrorText& errorText, const StallBound& stall = {});
// The signature file at `url` (the manifest's URL + ".sig"), at most 1 KiB. A refusal by the
// server (4xx other than 429) or a larger body means the manifest is not signed; network
// failures, 5xx and 429 keep the HTTPS layer's sentences.
bool FetchManifestSignature(const std::wstring& url, std::string& text, ErrorText& errorText);
