// The trusted-host rule: only the service host and its "www." form, over https.
#include "net/trusted_host.h"

#ifdef _WIN32
#include "net/https.h"
#endif

bool IsTrustedHostName(const std::wstring& host) {
    // Only A-Z fold: no locale, no IDN mapping, no trailing-dot or suffix leniency.
    std::wstring lowered = host;
    for (wchar_t& c : lowered) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    const std::wstring apex = ServiceHost;
    return lowered == apex || lowered == L"www." + apex;
}

#ifdef _WIN32
bool IsTrustedHost(const std::wstring& url) {
    UrlParts parts;
    if (!CrackUrl(url, parts) || !parts.secure) return false;
    return IsTrustedHostName(parts.host);
}
#endif
