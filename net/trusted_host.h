// The release service's host, and the rule that a URL points at it.
#pragma once

#include <string>

#include "service_host.h"

inline constexpr wchar_t ServiceHost[] = KESTRAVON_SERVICE_HOST_W;

// True when `host`, lower-cased A-Z only, is ServiceHost or "www." + ServiceHost. Portable.
bool IsTrustedHostName(const std::wstring& host);

#ifdef _WIN32
// True when `url` is https and its host is trusted.
bool IsTrustedHost(const std::wstring& url);
#endif
