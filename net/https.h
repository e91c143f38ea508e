// The one place that speaks HTTP: HTTPS GET requests over WinHTTP.
#pragma once

#include <cstdint>
#include <string>

#include "common/error_text.h"
#include "common/win_owners.h"

struct UrlParts {
    std::wstring host;
    std::wstring path;  // path plus query and fragment; "/" when empty
    std::uint16_t port = 0;
    bool secure = false;
};

// Where a request went, as its redirect callback saw it.
struct RedirectTrace {
    std::wstring currentUrl;  // the requested URL, then each redirect target
    bool watching = false;    // the redirect callback is installed
    bool lost = false;        // a redirect target could not be followed here
};

// One request: its handles in the order they are opened, so they close in reverse,
// after the trace that the request's callback writes into. Never moved once sent: the
// request handle holds the trace's address.
struct HttpsRequest {
    RedirectTrace trace;
    DWORD status = 0;  // the HTTP status received, 0 until a response head arrived
    WinHttpHandle root;
    WinHttpHandle connection;
    WinHttpHandle request;

    HttpsRequest() = default;
    HttpsRequest(HttpsRequest&&) = delete;
    HttpsRequest& operator=(HttpsRequest&&) = delete;
};

// Every body read fails once fewer than `minimumBytes` have arrived during the last
// `windowMs`; StallBound{} is the release's bound, which a steady 1 KiB/s never trips.
struct StallBound {
    std::uint64_t windowMs = 60000;
    std::uint64_t minimumBytes = 16384;
};

// Where the reads of one body stand against its bound, from the body's start.
struct StallWatch {
    StallBound bound;
    std::uint64_t since = GetTickCount64();  // when the last `bound.minimumBytes` were complete
    std::uint64_t bytesSince = 0;            // read since then
};

bool CrackUrl(const std::wstring& url, UrlParts& parts);
// Opens, sends and checks one GET; true when a 2xx head has arrived. `status` then tells
// a refusal by the server (non-zero) from a network failure.
bool OpenHttpsRequest(const std::wstring& url, HttpsRequest& https, ErrorText& errorText);
// The response's Content-Length, 0 when absent or unusable.
std::uint64_t QueryContentLength(HINTERNET request);
// The URL the request finally reached: WinHTTP's own answer, else the last redirect
// the trace saw, else the requested URL; empty when none of them can be trusted.
std::wstring QueryFinalUrl(HINTERNET request, const RedirectTrace& trace);
// Reads what has arrived of the body, at most `size` bytes, 0 at its end. False, with the
// thread's last error, when the read fails or the body has stalled (ERROR_WINHTTP_TIMEOUT).
bool ReadBodyPiece(HINTERNET request, void* buffer, DWORD size, DWORD& read, StallWatch& watch);
