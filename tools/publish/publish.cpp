// Release manifest for the release service, checked with the installer's own parser.
#include "tools/publish/publish.h"

#include <ctime>
#include <fstream>
#include <iterator>

#include "net/trusted_host.h"
#include "pipeline/manifest.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ServiceHost is lower-case ASCII by construction (cmake/ServiceHost.cmake).
std::string NarrowServiceHost() {
    std::string host;
    for (const wchar_t* c = ServiceHost; *c; ++c) host.push_back(static_cast<char>(*c));
    return host;
}

// Authority "host" or "host:port" with a port of 1 to 65535.
bool SplitAuthority(const std::string& authority, std::string& host) {
    const std::size_t colon = authority.find(':');
    host = authority.substr(0, colon);
    if (colon == std::string::npos) return !host.empty();
    const std::string port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    unsigned long value = 0;
    for (char c : port) {
        if (!IsDigit(c)) return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return !host.empty() && value >= 1 && value <= 65535;
}

bool IsCleanVersion(const std::string& version) {
    if (version.empty() || version.front() == ' ' || version.back() == ' ') return false;
    for (unsigned char c : version) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

}  // namespace

bool IsPublishableUrl(const std::string& url) {
    static const std::string Scheme = "https://";
    if (url.compare(0, Scheme.size(), Scheme) != 0) return false;
    for (unsigned char c : url) {
        // Printable ASCII only; a backslash is a separator to some URL parsers and
        // a quote has no business in a URL.
        if (c <= 0x20 || c >= 0x7f || c == '\\' || c == '"') return false;
    }
    const std::size_t start = Scheme.size();
    const std::size_t end = url.find_first_of("/?#", start);
    // A query or fragment straight after the host is part of the host name to some URL
    // parsers (Wine's WinHttpCrackUrl among them).
    if (end != std::string::npos && url[end] != '/') return false;
    const std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // User information could make a host look trusted to a reader but not to a parser.
    if (authority.find('@') != std::string::npos) return false;
    std::string host;
    if (!SplitAuthority(authority, host)) return false;
    return IsTrustedHostName(std::wstring(host.begin(), host.end()));
}

std::string JsonEscape(const std::string& text) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += Hex[c >> 4];
                    out += Hex[c & 0xf];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

std::string ManifestJson(const PublishInput& input) {
    // "url" first: the installer takes the first occurrence of each quoted key.
    std::string json = "{\n  \"url\": \"" + JsonEscape(input.url) + "\",\n  \"sha256\": \"" +
                       JsonEscape(input.sha256) + "\",\n  \"version\": \"" + JsonEscape(input.version) +
                       "\",\n  \"size\": " + std::to_string(input.size);
    if (input.serial) {
        json += ",\n  \"serial\": " + std::to_string(*input.serial) + ",\n  \"expires\": \"" +
                JsonEscape(input.expires) + "\"";
    }
    return json + "\n}\n";
}

bool BuildManifest(const PublishInput& input, std::string& json, std::string& errorText) {
    if (!IsPublishableUrl(input.url)) {
        errorText = "The URL must be https on " + NarrowServiceHost() + " or its www. form, without user information.";
        return false;
    }
    if (!IsCleanVersion(input.version)) {
        errorText = "The version must be non-empty printable text without surrounding spaces.";
        return false;
    }
    // Size 0 tells the installer the size is unknown and turns its size check off.
    if (input.size == 0) {
        errorText = "The setup file is empty.";
        return false;
    }
    if (input.size > MaxInstallerBytes) {
        errorText =
            "The setup file is larger than the installer accepts (" + std::to_string(MaxInstallerBytes) + " bytes).";
        return false;
    }
    // Serial 0 is older than every installer; an expiry must be one the installer can read.
    if (input.serial && (*input.serial == 0 || !ParseUtcTime(input.expires))) {
        errorText = "The serial must be 1 or more, and the expiry a UTC time (YYYY-MM-DDTHH:MM:SSZ).";
        return false;
    }
    const std::string text = ManifestJson(input);
    const std::optional<ReleaseManifest> parsed = ParseManifest(text);
    if (!parsed || parsed->url != input.url || parsed->sha256 != input.sha256 || parsed->version != input.version ||
        parsed->size != input.size || ExtractJsonInteger(text, "serial") != input.serial ||
        (input.serial && ExtractJsonString(text, "expires") != input.expires)) {
        errorText = "The installer would read this manifest differently, so it was not written.";
        return false;
    }
    json = text;
    return true;
}

std::string UtcTimeText(std::uint64_t seconds) {
    const auto since1970 = static_cast<std::time_t>(seconds - UnixEpochSince1601);
    std::tm utc{};
    char text[32] = {};
    if (seconds < UnixEpochSince1601 || !gmtime_r(&since1970, &utc) ||
        std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc) != 20) {
        return {};
    }
    return text;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

bool RenewExpiry(const std::string& manifest, const std::string& expires, std::string& renewed,
                 std::string& errorText) {
    // The old value as the tool wrote it: the 20 characters between the quotes, no escapes.
    const std::string old = ExtractJsonString(manifest, "expires");
    const std::size_t start = LocateJsonValue(manifest, "expires");
    if (!ParseManifest(manifest) || !ExtractJsonInteger(manifest, "serial") || !ParseUtcTime(old) ||
        manifest.compare(start, old.size() + 2, '"' + old + '"') != 0) {
        errorText = "The manifest is not one this tool wrote for pinned installers (with a serial and an expiry), "
                    "so it was not signed again.";
        return false;
    }
    std::string text = manifest;
    text.replace(start + 1, old.size(), expires);
    // Only the value's 20 characters changed, so the check is that the installer reads them.
    if (!ParseUtcTime(expires) || ExtractJsonString(text, "expires") != expires || !ParseManifest(text)) {
        errorText = "The installer would read the renewed manifest differently, so it was not written.";
        return false;
    }
    renewed = text;
    return true;
}
