// HTTPS GET requests over WinHTTP: URL splitting, one checked request, and read-outs.
#include "net/https.h"

#include <algorithm>
#include <cwchar>

#include "common/decimal.h"
#include "version.h"

namespace {

constexpr wchar_t UserAgent[] = KESTRAVON_USER_AGENT_W;
constexpr wchar_t NoCacheHeaders[] = L"Cache-Control: no-cache, no-store\r\nPragma: no-cache\r\n";

// Resolves a Location against the URL it came from, the way WinHTTP follows it:
// an absolute URL replaces it, "/..." replaces the path, anything else replaces the
// last path segment. A relative Location never changes scheme or host; one that
// would ("//host") is not resolved.
bool ResolveRedirect(const std::wstring& current, const std::wstring& location, std::wstring& next) {
    UrlParts parts;
    if (CrackUrl(location, parts)) {
        next = location;
        return true;
    }
    // "//host/path" (or any mix of the two slashes) names a host without a scheme.
    // Whatever the HTTP stack makes of it, that host is not known here, so the final
    // URL is not either: the hop is lost, and the final-URL check refuses it.
    const auto isSlash = [](wchar_t c) { return c == L'/' || c == L'\\'; };
    if (location.size() >= 2 && isSlash(location[0]) && isSlash(location[1])) return false;
    const std::size_t schemeEnd = current.find(L"://");
    if (schemeEnd == std::wstring::npos) return false;
    const std::size_t pathStart = current.find_first_of(L"/?#", schemeEnd + 3);
    const std::wstring origin = current.substr(0, pathStart);
    if (location.front() == L'/') {
        next = origin + location;
        return true;
    }
    std::wstring path = pathStart == std::wstring::npos ? std::wstring() : current.substr(pathStart);
    path = path.substr(0, path.find_first_of(L"?#"));
    const std::size_t lastSlash = path.rfind(L'/');
    const std::wstring folder = lastSlash == std::wstring::npos ? L"/" : path.substr(0, lastSlash + 1);
    next = origin + folder + location;
    return true;
}

// Records each redirect target. Wine cannot report WINHTTP_OPTION_URL, so this is how
// the final URL becomes known there.
void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength) {
    auto* trace = reinterpret_cast<RedirectTrace*>(context);
    if (status != WINHTTP_CALLBACK_STATUS_REDIRECT || trace == nullptr) return;
    // Called from WinHTTP's C code: nothing may be thrown through it. A target that
    // cannot be recorded leaves the final URL unknown, which callers refuse.
    try {
        const auto* text = static_cast<const wchar_t*>(info);
        const std::wstring location = text ? std::wstring(text, wcsnlen(text, infoLength)) : std::wstring();
        std::wstring next;
        if (location.empty() || !ResolveRedirect(trace->currentUrl, location, next)) {
            trace->lost = true;
            return;
        }
        trace->currentUrl = std::move(next);
    } catch (...) {
        trace->lost = true;
    }
}

// A component of a cracked URL; an absent one has no pointer.
std::wstring Component(const wchar_t* text, DWORD length) { return text ? std::wstring(text, length) : std::wstring(); }

// Parses like std::stoull (white space, a sign, digits, the rest ignored; a minus sign
// negates modulo 2^64) without letting an exception out: no digits or a value beyond
// 64 bits give 0. Written out rather than wcstoull, which brings 1.2 KiB of runtime.
std::uint64_t ParseUnsigned(const wchar_t* text) {
    while (*text == L' ' || (*text >= L'\t' && *text <= L'\r')) ++text;
    const bool negative = *text == L'-';
    if (*text == L'+' || *text == L'-') ++text;
    if (*text < L'0' || *text > L'9') return 0;
    std::uint64_t value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        const auto digit = static_cast<std::uint64_t>(*text - L'0');
        if (value > (~std::uint64_t{0} - digit) / 10) return 0;
        value = value * 10 + digit;
    }
    return negative ? 0 - value : value;
}

}  // namespace

bool CrackUrl(const std::wstring& url, UrlParts& parts) {
    if (url.empty() || url.size() > MAXDWORD) return false;
    // Flags 0: nothing is escaped or unescaped. Non-zero lengths ask for pointers.
    URL_COMPONENTS components{};
    components.dwStructSize = sizeof(components);
    components.dwSchemeLength = static_cast<DWORD>(-1);
    components.dwHostNameLength = static_cast<DWORD>(-1);
    components.dwUrlPathLength = static_cast<DWORD>(-1);
    components.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) return false;

    parts.host = Component(components.lpszHostName, components.dwHostNameLength);
    parts.path = Component(components.lpszUrlPath, components.dwUrlPathLength);
    parts.path += Component(components.lpszExtraInfo, components.dwExtraInfoLength);
    if (parts.path.empty()) parts.path = L"/";
    parts.port = components.nPort;
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    return true;
}

bool OpenHttpsRequest(const std::wstring& url, HttpsRequest& https, ErrorText& errorText) {
    UrlParts parts;
    if (!CrackUrl(url, parts) || !parts.secure) return Fail(errorText, L"Only HTTPS downloads are allowed.");

    https.root.reset(WinHttpOpen(UserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!https.root) return Fail(errorText, L"Could not initialize Windows networking.", GetLastError());
    WinHttpSetTimeouts(https.root.get(), 10000, 10000, 30000, 30000);

    https.connection.reset(WinHttpConnect(https.root.get(), parts.host.c_str(), parts.port, 0));
    if (!https.connection) return Fail(errorText, L"Could not connect to the Kestravon server.", GetLastError());

    https.request.reset(WinHttpOpenRequest(https.connection.get(), L"GET", parts.path.c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                           WINHTTP_FLAG_SECURE | WINHTTP_FLAG_BYPASS_PROXY_CACHE));
    if (!https.request) return Fail(errorText, L"Could not create the download request.", GetLastError());
    HINTERNET request = https.request.get();
    DWORD redirectPolicy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
    WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &redirectPolicy, sizeof(redirectPolicy));

    RedirectTrace& trace = https.trace;
    trace.currentUrl = url;
    trace.lost = false;
    trace.watching = WinHttpSetStatusCallback(request, OnRequestStatus, WINHTTP_CALLBACK_FLAG_REDIRECT, 0) !=
                     WINHTTP_INVALID_STATUS_CALLBACK;

    // The send context becomes the request's context, which the redirect callback gets.
    if (!WinHttpSendRequest(request, NoCacheHeaders, static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, 0,
                            reinterpret_cast<DWORD_PTR>(&trace)) ||
        !WinHttpReceiveResponse(request, nullptr)) {
        return Fail(errorText, L"Kestravon server did not respond.", GetLastError());
    }

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &statusSize, WINHTTP_NO_HEADER_INDEX);
    https.status = status;
    // A head whose status cannot be read is no answer: a network failure, not a refusal.
    if (status == 0) {
        return Fail(errorText, L"Kestravon server did not respond.", ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    }
    if (status >= 200 && status <= 299) return true;
    return Fail(errorText, L"Kestravon server returned HTTP " + DecimalText(status) + L".");
}

std::uint64_t QueryContentLength(HINTERNET request) {
    wchar_t text[64] = {};
    DWORD size = sizeof(text);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return 0;
    }
    text[63] = L'\0';
    return ParseUnsigned(text);
}

std::wstring QueryFinalUrl(HINTERNET request, const RedirectTrace& trace) {
    DWORD size = 0;
    WinHttpQueryOption(request, WINHTTP_OPTION_URL, nullptr, &size);
    if (size > 0) {
        std::wstring buffer(size / 2 + 2, L'\0');
        if (WinHttpQueryOption(request, WINHTTP_OPTION_URL, buffer.data(), &size)) {
            buffer.resize(std::wcslen(buffer.c_str()));  // up to its terminating zero
            return buffer;
        }
    }
    // Wine 8 answers WINHTTP_OPTION_URL with ERROR_INVALID_PARAMETER: fall back to
    // what the redirect callback saw. Without it nobody knows where the request went.
    if (!trace.watching || trace.lost) return {};
    return trace.currentUrl;
}

bool ReadBodyPiece(HINTERNET request, void* buffer, DWORD size, DWORD& read, StallWatch& watch) {
    // Asks only for what has arrived (at least one byte, so that the read finds the end): Wine's
    // WinHttpReadData returns only once the whole buffer is filled, which a trickle puts off for hours.
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available) ||
        !WinHttpReadData(request, buffer, std::min(std::max<DWORD>(available, 1), size), &read)) {
        return false;
    }
    // Judged as each read returns, without a timer thread; a read that gets nothing fails at the
    // receive time-out (OpenHttpsRequest's), so a stalled body ends at most the window plus that
    // time-out after its last progress. Cutting that read's time-out to the window's rest would
    // drop the second term, but Wine gives a receive time-out changed mid-body to the socket only
    // with the next response: it could not be tested here.
    const std::uint64_t now = GetTickCount64();
    watch.bytesSince += read;
    if (watch.bytesSince >= watch.bound.minimumBytes) {
        watch.since = now;
        watch.bytesSince = 0;
    } else if (read != 0 && now - watch.since > watch.bound.windowMs) {
        SetLastError(ERROR_WINHTTP_TIMEOUT);
        return false;
    }
    return true;
}
