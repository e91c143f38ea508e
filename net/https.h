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

// Where a request went, as its redirect callback saw it. Declared by the caller
// before the three holders, so it outlives the request handle that points at it.
struct RedirectTrace {
    std::wstring currentUrl;  // the requested URL, then each redirect target
    bool watching = false;    // the redirect callback is installed
    bool lost = false;        // a redirect target could not be followed here
};

bool CrackUrl(const std::wstring& url, UrlParts& parts);
// Opens, sends and checks one GET; true when a 2xx head has arrived. The caller
// owns the three holders, declared root, connection, request so they close in reverse.
bool OpenHttpsRequest(const std::wstring& url, WinHttpHandle& root, WinHttpHandle& connection,
                      WinHttpHandle& request, RedirectTrace& trace, std::wstring& errorText);
// The response's Content-Length, 0 when absent or unusable.
std::uint64_t QueryContentLength(HINTERNET request);
// The URL the request finally reached: WinHTTP's own answer, else the last redirect
// the trace saw, else the requested URL; empty when none of them can be trusted.
std::wstring QueryFinalUrl(HINTERNET request, const RedirectTrace& trace);
