// Release manifest fields found by searching the raw bytes for each quoted key.
#include "pipeline/manifest.h"

#include <cstddef>

namespace {

constexpr std::size_t Sha256HexDigits = 64;
constexpr std::uint64_t MaxUnsigned = ~std::uint64_t{0};

// Single bytes only: 0x80 and up belong to no class, whatever the locale says.
bool IsWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) {
    return IsDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char UnescapedByte(char c) {
    switch (c) {
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;  // '"', '/', '\\' and anything else stand for themselves; \u is not decoded
    }
}

}  // namespace

// Start of the value of the first `"key"` anywhere in the body, or npos. Structure is
// ignored on purpose: the manifest is a flat object and this is no JSON parser.
std::size_t LocateJsonValue(const std::string& body, const std::string& key) {
    const std::string needle = '"' + key + '"';
    if (needle.size() > body.size()) return std::string::npos;
    const std::size_t found = body.find(needle);
    if (found == std::string::npos) return std::string::npos;
    const std::size_t afterNeedle = found + needle.size();
    if (afterNeedle == body.size()) return std::string::npos;
    const std::size_t colon = body.find(':', afterNeedle);
    if (colon == std::string::npos) return std::string::npos;
    std::size_t position = colon + 1;
    while (position < body.size() && IsWhitespace(body[position])) ++position;
    if (position == body.size()) return std::string::npos;
    return position;
}

std::string ExtractJsonString(const std::string& body, const std::string& key) {
    const std::size_t start = LocateJsonValue(body, key);
    if (start == std::string::npos || body[start] != '"') return {};
    std::string value;
    for (std::size_t i = start + 1; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '"') return value;
        if (c == '\\') {
            ++i;
            if (i == body.size()) return {};
            value.push_back(UnescapedByte(body[i]));
            continue;
        }
        value.push_back(c);
    }
    return {};  // unterminated
}

std::uint64_t ExtractJsonUnsigned(const std::string& body, const std::string& key) {
    const std::size_t start = LocateJsonValue(body, key);
    if (start == std::string::npos) return 0;
    std::uint64_t value = 0;
    for (std::size_t i = start; i < body.size() && IsDecimalDigit(body[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(body[i] - '0');
        if (value > (MaxUnsigned - digit) / 10) return 0;  // out of range: size unknown
        value = value * 10 + digit;
    }
    return value;
}

std::string TrimWhitespace(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsWhitespace(text[first])) ++first;
    while (last > first && IsWhitespace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

std::optional<ReleaseManifest> ParseManifest(const std::string& body) {
    ReleaseManifest manifest;
    manifest.url = ExtractJsonString(body, "url");
    manifest.sha256 = TrimWhitespace(ExtractJsonString(body, "sha256"));
    manifest.version = TrimWhitespace(ExtractJsonString(body, "version"));
    manifest.size = ExtractJsonUnsigned(body, "size");

    if (manifest.url.empty() || manifest.version.empty()) return std::nullopt;
    if (manifest.sha256.size() != Sha256HexDigits) return std::nullopt;
    for (char c : manifest.sha256) {
        if (!IsHexDigit(c)) return std::nullopt;
    }
    return manifest;
}

std::optional<std::uint64_t> ExtractJsonInteger(const std::string& body, const std::string& key) {
    const std::size_t start = LocateJsonValue(body, key);
    if (start == std::string::npos || !IsDecimalDigit(body[start])) return std::nullopt;
    std::size_t i = start;
    std::uint64_t value = 0;
    for (; i < body.size() && IsDecimalDigit(body[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(body[i] - '0');
        if (value > (MaxUnsigned - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (body[start] == '0' && i - start > 1) return std::nullopt;
    if (i < body.size() && !IsWhitespace(body[i]) && body[i] != ',' && body[i] != '}') return std::nullopt;
    return value;
}

std::optional<std::uint64_t> ParseUtcTime(const std::string& text) {
    // d: a digit of the current field; each other character ends a field.
    static constexpr char Form[] = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != sizeof(Form) - 1) return std::nullopt;
    unsigned fields[6] = {};  // year, month, day, hour, minute, second
    std::size_t field = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Form[i] != 'd') {
            if (text[i] != Form[i]) return std::nullopt;
            ++field;
        } else if (IsDecimalDigit(text[i])) {
            fields[field] = fields[field] * 10 + static_cast<unsigned>(text[i] - '0');
        } else {
            return std::nullopt;
        }
    }
    const auto [year, month, day, hour, minute, second] = fields;
    if (year < 1601 || month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    // Days of the year before each month, and (last) of the whole year.
    static constexpr unsigned DaysBefore[14] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
    const unsigned monthDays = DaysBefore[month + 1] - DaysBefore[month] + (leap && month == 2);
    if (day < 1 || day > monthDays) return std::nullopt;
    // Leap days of the whole years since 1601: those up to the year before, less the 388 up to 1600.
    const auto leapDaysUpTo = [](std::uint64_t y) { return y / 4 - y / 100 + y / 400; };
    const std::uint64_t days = std::uint64_t{year - 1601} * 365 + leapDaysUpTo(year - 1) - leapDaysUpTo(1600) +
                               DaysBefore[month] + (leap && month > 2) + day - 1;
    return ((days * 24 + hour) * 60 + minute) * 60 + second;
}

Freshness CheckFreshness(const std::string& body, std::uint64_t now, std::uint64_t minSerial) {
    const std::optional<std::uint64_t> expires = ParseUtcTime(ExtractJsonString(body, "expires"));
    if (!expires || *expires <= now) return Freshness::Expired;
    const std::optional<std::uint64_t> serial = ExtractJsonInteger(body, "serial");
    if (!serial || *serial < minSerial) return Freshness::Older;
    return Freshness::Fresh;
}
