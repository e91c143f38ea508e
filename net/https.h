// The one place that speaks HTTP: HTTPS GET requests over WinHTTP.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>
#include <winhttp.h>

#include "common/owners.h"

struct UrlParts {
    std::wstring host;
    std::wstring path;  // path plus query and fragment; "/" when empty
    std::uint16_t port = 0;
    bool secure = false;
};

using WinHttpHandle = UniqueNullHandle<HINTERNET, WinHttpCloseHandle>;

bool CrackUrl(const std::wstring& url, UrlParts& parts);
// Opens, sends and checks one GET; true when a 2xx head has arrived. The caller
// owns the three holders, declared root, connection, request so they close in reverse.
bool OpenHttpsRequest(const std::wstring& url, WinHttpHandle& root, WinHttpHandle& connection,
                      WinHttpHandle& request, std::wstring& errorText);
std::uint64_t QueryContentLength(HINTERNET request);
std::wstring QueryFinalUrl(HINTERNET request);
