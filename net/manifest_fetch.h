// Downloads the release manifest into memory, at most 1 MiB.
#pragma once

#include <string>

#include "common/error_text.h"

constexpr std::size_t MaxManifestBytes = 1048576;

bool FetchManifest(const std::wstring& url, std::string& body, ErrorText& errorText);
