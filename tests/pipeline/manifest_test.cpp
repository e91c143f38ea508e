// The manifest byte search: every row is a body and the fields it must yield, or a rejection.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/manifest.h"

namespace {

using namespace std::string_literals;

const std::string Hex = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string HexUpper = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";
const std::string Url = "https://kestravon.test/downloads/KestravonSetup-2.4.1.exe";
const std::string UrlMember = "\"url\":\"" + Url + "\"";
const std::string ShaMember = "\"sha256\":\"" + Hex + "\"";
const std::string VersionMember = "\"version\":\"2.4.1\"";

std::string Object(const std::vector<std::string>& members) {
    std::string body = "{";
    for (const std::string& member : members) {
        if (body.size() > 1) body += ",";
        body += member;
    }
    return body + "}";
}

// The three required members plus whatever the row adds or replaces.
std::string WithUrl(const std::string& member) { return Object({member, ShaMember, VersionMember}); }
std::string WithSha(const std::string& member) { return Object({UrlMember, member, VersionMember}); }
std::string WithVersion(const std::string& member) { return Object({UrlMember, ShaMember, member}); }
std::string WithSize(const std::string& member) { return Object({UrlMember, ShaMember, VersionMember, member}); }

struct ManifestCase {
    const char* name;
    std::string body;
    std::optional<ReleaseManifest> expected;  // nullopt: rejected
};

ReleaseManifest Fields(std::string url, std::string sha256, std::string version, std::uint64_t size) {
    return ReleaseManifest{std::move(url), std::move(sha256), std::move(version), size};
}

const ReleaseManifest Typical = Fields(Url, Hex, "2.4.1", 0);

std::vector<ManifestCase> ManifestCases() {
    return {
        {"typical", Object({UrlMember, ShaMember, VersionMember, "\"size\":48213504"}),
         Fields(Url, Hex, "2.4.1", 48213504)},
        {"any order, whitespace around colons",
         "{\n  \"size\" :\t48213504,\r\n  \"version\"\n:\n\"2.4.1\" ,\n  \"sha256\"\v:\f\"" + Hex +
             "\",\n  \"url\"   :   \"" + Url + "\"\n}\n",
         Fields(Url, Hex, "2.4.1", 48213504)},
        {"without size", Object({UrlMember, ShaMember, VersionMember}), Typical},
        {"other members ignored",
         Object({"\"channel\":\"stable\"", "\"notes\":[1,2,{\"a\":null}]", UrlMember, "\"download_url\":\"x\"",
                 ShaMember, "\"filesize\":7", VersionMember}),
         Typical},
        {"first of two url members wins", Object({UrlMember, "\"url\":\"https://kestravon.test/other.exe\"", ShaMember,
                                                  VersionMember}),
         Typical},
        {"nested occurrence first wins",
         Object({"\"previous\":{\"version\":\"2.3.9\",\"size\":100}", UrlMember, ShaMember, VersionMember,
                 "\"size\":200"}),
         Fields(Url, Hex, "2.3.9", 100)},
        {"string value equal to a key shifts the lookup",
         Object({"\"kind\":\"url\"", "\"mirror\":\"https://mirror.test/a.exe\"", UrlMember, ShaMember, VersionMember}),
         Fields("https://mirror.test/a.exe", Hex, "2.4.1", 0)},
        {"shifted lookup landing on a number rejects",
         Object({"\"kind\":\"url\"", "\"count\":3", UrlMember, ShaMember, VersionMember}), std::nullopt},
        {"keys are case-sensitive", WithUrl("\"URL\":\"" + Url + "\""), std::nullopt},
        {"bytes between key and colon are skipped", WithUrl("\"url\" junk} :\"" + Url + "\""), Typical},
        {"embedded NUL before the members", Object({"\"pad\":\"a\0b\""s, UrlMember, ShaMember, VersionMember}),
         Typical},

        {"url null", WithUrl("\"url\":null"), std::nullopt},
        {"url empty", WithUrl("\"url\":\"\""), std::nullopt},
        {"url unterminated", "{" + ShaMember + "," + VersionMember + ",\"url\":\"" + Url, std::nullopt},
        {"url ends after a backslash", "{" + ShaMember + "," + VersionMember + ",\"url\":\"https:\\", std::nullopt},
        {"url as object", WithUrl("\"url\":{\"href\":\"" + Url + "\"}"), std::nullopt},
        {"url whitespace kept", WithUrl("\"url\":\" " + Url + "\t\""), Fields(" " + Url + "\t", Hex, "2.4.1", 0)},
        {"url escaped slashes", WithUrl("\"url\":\"https:\\/\\/kestravon.test\\/downloads\\/KestravonSetup-2.4.1.exe\""),
         Typical},
        {"url with escaped quote continues", WithUrl("\"url\":\"https://k.test/a\\\"b.exe\""),
         Fields("https://k.test/a\"b.exe", Hex, "2.4.1", 0)},
        {"url \\u escape kept as text", WithUrl("\"url\":\"https://k.test/\\u0041.exe\""),
         Fields("https://k.test/u0041.exe", Hex, "2.4.1", 0)},
        {"url invalid UTF-8 accepted here", WithUrl("\"url\":\"https://k.test/\xC0\xAF\""),
         Fields("https://k.test/\xC0\xAF", Hex, "2.4.1", 0)},
        {"url raw control bytes kept", WithUrl("\"url\":\"a\x01\x7F\nb\""), Fields("a\x01\x7F\nb", Hex, "2.4.1", 0)},

        {"sha256 upper case", WithSha("\"sha256\":\"" + HexUpper + "\""), Fields(Url, HexUpper, "2.4.1", 0)},
        {"sha256 spaces trimmed", WithSha("\"sha256\":\"  " + Hex + " \""), Typical},
        {"sha256 escaped line feed trimmed", WithSha("\"sha256\":\"\\n" + Hex + "\\r\\n\""), Typical},
        {"sha256 raw tab and vertical tab trimmed", WithSha("\"sha256\":\"\t" + Hex + "\v\f\""), Typical},
        {"sha256 63 digits", WithSha("\"sha256\":\"" + Hex.substr(1) + "\""), std::nullopt},
        {"sha256 65 digits", WithSha("\"sha256\":\"" + Hex + "0\""), std::nullopt},
        {"sha256 non-hex digit", WithSha("\"sha256\":\"" + Hex.substr(0, 63) + "g\""), std::nullopt},
        {"sha256 inner space", WithSha("\"sha256\":\"" + Hex.substr(0, 32) + " " + Hex.substr(33) + "\""),
         std::nullopt},
        {"sha256 non-breaking space is not whitespace", WithSha("\"sha256\":\"\xC2\xA0" + Hex + "\""), std::nullopt},
        {"sha256 missing", Object({UrlMember, VersionMember}), std::nullopt},
        {"sha256 as number", WithSha("\"sha256\":1234"), std::nullopt},

        {"version trimmed", WithVersion("\"version\":\" 2.4.1\\t\""), Typical},
        {"version empty", WithVersion("\"version\":\"\""), std::nullopt},
        {"version only whitespace", WithVersion("\"version\":\" \\t\\n \""), std::nullopt},
        {"version as number", WithVersion("\"version\":2"), std::nullopt},
        {"version missing", Object({UrlMember, ShaMember}), std::nullopt},

        {"size decimal fraction", WithSize("\"size\":12.5"), Fields(Url, Hex, "2.4.1", 12)},
        {"size exponent", WithSize("\"size\":1e3"), Fields(Url, Hex, "2.4.1", 1)},
        {"size quoted", WithSize("\"size\":\"1000\""), Typical},
        {"size negative", WithSize("\"size\":-5"), Typical},
        {"size null", WithSize("\"size\":null"), Typical},
        {"size largest", WithSize("\"size\":18446744073709551615"), Fields(Url, Hex, "2.4.1", 18446744073709551615u)},
        {"size one past largest", WithSize("\"size\":18446744073709551616"), Typical},
        {"size leading zeros", WithSize("\"size\":000123"), Fields(Url, Hex, "2.4.1", 123)},

        {"empty body", "", std::nullopt},
        {"body shorter than a key", "\"ur", std::nullopt},
        {"body is only a key", "\"url\"", std::nullopt},
        {"not an object", "[1,2,3]", std::nullopt},
    };
}

class ManifestTable : public ::testing::TestWithParam<ManifestCase> {};

TEST_P(ManifestTable, ParsesOrRejects) {
    const ManifestCase& row = GetParam();
    const std::optional<ReleaseManifest> parsed = ParseManifest(row.body);
    ASSERT_EQ(parsed.has_value(), row.expected.has_value());
    if (!parsed) return;
    EXPECT_EQ(parsed->url, row.expected->url);
    EXPECT_EQ(parsed->sha256, row.expected->sha256);
    EXPECT_EQ(parsed->version, row.expected->version);
    EXPECT_EQ(parsed->size, row.expected->size);
}

std::string RowName(const ::testing::TestParamInfo<ManifestCase>& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c) {
        const bool alnum = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
        name += alnum ? *c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, ManifestTable, ::testing::ValuesIn(ManifestCases()), RowName);

struct StringCase {
    std::string body;
    std::string key;
    std::string expected;
};

TEST(ExtractJsonString, EscapesAndLocation) {
    const std::vector<StringCase> rows = {
        {R"({"k":"a\"b\/c\\d"})", "k", "a\"b/c\\d"},
        {R"({"k":"\b\f\n\r\t"})", "k", "\b\f\n\r\t"},
        {R"({"k":"\a\x\'\u00e9"})", "k", "ax'u00e9"},  // unknown escapes yield the byte itself
        {R"({"k":"\\"})", "k", "\\"},
        {R"({"k":"a\)", "k", ""},          // ends right after a backslash
        {R"({"k":"abc)", "k", ""},         // unterminated
        {R"({"k":"\"})", "k", ""},         // the only quote is escaped
        {R"({"k":  "v"})", "k", "v"},
        {R"({"k":)", "k", ""},             // nothing after the colon
        {"{\"k\": \t\r\n", "k", ""},       // only whitespace after the colon
        {R"({"k")", "k", ""},              // needle ends the body
        {R"({"k" "v"})", "k", ""},         // no colon anywhere after the needle
        {R"({"k" "v", "j": "w"})", "k", "w"},  // the next colon belongs to "j"; bytes before it are skipped
        {R"({"kk":"no","k":"yes"})", "k", "yes"},
        {R"({"":"empty key"})", "", "empty key"},
        {R"({"a:b":"colon in key"})", "a:b", "colon in key"},  // the colon search starts after the needle
        {R"({"k":true})", "k", ""},
        {R"({"k":["v"]})", "k", ""},
        {"{\"k\":\"\x80\xFF\x00\"}"s, "k", "\x80\xFF\x00"s},
    };
    for (const StringCase& row : rows) {
        EXPECT_EQ(ExtractJsonString(row.body, row.key), row.expected) << "body: " << row.body;
    }
}

struct UnsignedCase {
    std::string body;
    std::uint64_t expected;
};

TEST(ExtractJsonUnsigned, LongestDigitRun) {
    const std::vector<UnsignedCase> rows = {
        {R"({"n":0})", 0},
        {R"({"n":42})", 42},
        {R"({"n": 	 42 })", 42},
        {R"({"n":12.5})", 12},
        {R"({"n":1e3})", 1},
        {R"({"n":0x10})", 0},
        {R"({"n":"7"})", 0},
        {R"({"n":-7})", 0},
        {R"({"n":+7})", 0},
        {R"({"n":null})", 0},
        {R"({"n":00000000000000000000000000018446744073709551615})", 18446744073709551615u},
        {R"({"n":18446744073709551615})", 18446744073709551615u},
        {R"({"n":18446744073709551616})", 0},
        {R"({"n":18446744073709551620})", 0},
        {R"({"n":99999999999999999999})", 0},
        {R"({"n":184467440737095516150})", 0},
        {R"({"n":1844674407370955161})", 1844674407370955161u},
        {R"({"n":42)", 42},  // digits run to the end of the body
        {R"({"n":)", 0},
        {R"({"m":42})", 0},
    };
    for (const UnsignedCase& row : rows) {
        EXPECT_EQ(ExtractJsonUnsigned(row.body, "n"), row.expected) << "body: " << row.body;
    }
}

// A release serial is a plain JSON integer or nothing.
TEST(ExtractJsonInteger, OnlyAPlainInteger) {
    const std::vector<std::pair<std::string, std::optional<std::uint64_t>>> rows = {
        {R"({"n":0})", 0},
        {R"({"n": 42 ,"m":1})", 42},
        {R"({"n":18446744073709551615})", 18446744073709551615u},
        {R"({"n":18446744073709551616})", std::nullopt},
        {R"({"n":042})", std::nullopt},
        {R"({"n":12.5})", std::nullopt},
        {R"({"n":"7"})", std::nullopt},
        {R"({"n":7x})", std::nullopt},
    };
    for (const auto& [body, expected] : rows) {
        EXPECT_EQ(ExtractJsonInteger(body, "n"), expected) << "body: " << body;
    }
}

TEST(ParseUtcTime, ExactlyARealUtcTime) {
    const std::vector<std::pair<std::string, std::optional<std::uint64_t>>> rows = {
        {"1601-01-01T00:00:00Z", 0},
        {"1970-01-01T00:00:00Z", 11644473600u},
        {"2000-02-29T23:59:59Z", 12596342399u},
        {"2024-03-01T00:00:00Z", 13353724800u},
        {"9999-12-31T23:59:59Z", 265046774399u},
        {"1600-12-31T23:59:59Z", std::nullopt},
        {"2100-02-29T00:00:00Z", std::nullopt},
        {"2024-04-31T00:00:00Z", std::nullopt},
        {"2024-13-10T00:00:00Z", std::nullopt},
        {"2024-01-01T24:00:00Z", std::nullopt},
        {"2024-12-31T23:59:60Z", std::nullopt},
        {"2024-01-01T00:00:00z", std::nullopt},
        {"2024-01-01T00:00:00+00:00", std::nullopt},
        {" 2024-01-01T00:00:00Z", std::nullopt},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(ParseUtcTime(text), expected) << "text: " << text;
    }
}

// Expiry first, then serial; an expiry equal to now has passed.
TEST(CheckFreshness, ExpiryThenSerial) {
    constexpr std::uint64_t Now = 13353724800;  // 2024-03-01T00:00:00Z
    struct Row {
        std::string body;
        std::uint64_t minSerial;
        Freshness expected;
    };
    const std::vector<Row> rows = {
        {R"({"serial": 5, "expires": "2024-03-01T00:00:01Z"})", 5, Freshness::Fresh},
        {R"({"serial": 5, "expires": "2024-03-01T00:00:00Z"})", 5, Freshness::Expired},
        {R"({"serial": 4, "expires": "2024-02-29T23:59:59Z"})", 5, Freshness::Expired},
        {R"({"serial": 4, "expires": "2024-03-01T00:00:01Z"})", 5, Freshness::Older},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CheckFreshness(row.body, Now, row.minSerial), row.expected) << "body: " << row.body;
    }
}

TEST(TrimWhitespace, OnlyTheSixAsciiBytes) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"", ""},
        {" \t\n\v\f\r", ""},
        {"abc", "abc"},
        {"  a b  ", "a b"},
        {"\r\n\tabc\v\f ", "abc"},
        {"\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},  // non-breaking space stays
        {"\x85x", "\x85x"},                          // so does NEL
        {"\0x\0"s, "\0x\0"s},                        // and NUL
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(TrimWhitespace(text), expected) << "text: " << text;
    }
}

// One MiB of padding before the key: each lookup stays a single linear scan.
TEST(ParseManifest, FindsMembersAfterAMebibyteOfPadding) {
    const std::string body = "{\"pad\":\"" + std::string(1 << 20, 'x') + "\"," + UrlMember + "," + ShaMember + "," +
                             VersionMember + ",\"size\":" + std::string(1 << 16, '0') + "5}";
    const std::optional<ReleaseManifest> parsed = ParseManifest(body);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->url, Url);
    EXPECT_EQ(parsed->size, 5u);
}

}  // namespace
