// The publishing tool's rules: which URLs it accepts, escaping, and the self-check.
#include <gtest/gtest.h>

#include <openssl/ec.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "pipeline/manifest.h"
#include "tools/publish/manifest_signature.h"
#include "tools/publish/publish.h"
#include "tools/publish/release_check.h"
#include "tools/publish/sha256.h"

namespace {

// Native tests are built for the service host kestravon.test.
TEST(PublishUrl, OnlyHttpsOnTheServiceHost) {
    struct Case {
        const char* url;
        bool publishable;
    };
    const Case cases[] = {
        {"https://kestravon.test/download/KestravonSetup-1.2.3.exe", true},
        {"https://www.kestravon.test/download/setup.exe", true},
        {"https://KESTRAVON.test/setup.exe", true},
        {"https://kestravon.test:8443/setup.exe", true},
        {"https://kestravon.test", true},
        {"https://kestravon.test?x=1", false},  // Wine's WinHttpCrackUrl takes "?x=1" into the host
        {"https://kestravon.test#top", false},
        {"http://kestravon.test/setup.exe", false},
        {"HTTPS://kestravon.test/setup.exe", false},
        {"ftp://kestravon.test/setup.exe", false},
        {"https://evil.test/setup.exe", false},
        {"https://cdn.kestravon.test/setup.exe", false},
        {"https://evilkestravon.test/setup.exe", false},
        {"https://kestravon.test.evil.test/setup.exe", false},
        {"https://kestravon.test./setup.exe", false},
        {"https://kestravon.test@evil.test/setup.exe", false},
        {"https://evil.test@kestravon.test/setup.exe", false},
        {"https://kestravon.test\\@evil.test/setup.exe", false},
        {"https://kestravon.test:/setup.exe", false},
        {"https://kestravon.test:0/setup.exe", false},
        {"https://kestravon.test:65536/setup.exe", false},
        {"https://kestravon.test:44x/setup.exe", false},
        {"https:///setup.exe", false},
        {"https://kestravon.test/set up.exe", false},
        {"https://kestravon.test/setup.exe\n", false},
        {"https://kestravon.test/\"setup.exe", false},
        {"https://kestravon.test/s\xc3\xa9tup.exe", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(IsPublishableUrl(c.url), c.publishable);
    }
}

TEST(PublishJson, EscapesWhatTheParserDecodes) {
    struct Case {
        std::string text;
        std::string escaped;
    };
    const Case cases[] = {
        {"1.2.3", "1.2.3"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"back\\slash", "back\\\\slash"},
        {"a/b", "a/b"},
        {"\b\f\n\r\t", "\\b\\f\\n\\r\\t"},
        {std::string("\x01\x1f", 2), "\\u0001\\u001f"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.escaped);
        EXPECT_EQ(JsonEscape(c.text), c.escaped);
    }
}

const std::string Digest = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

TEST(PublishManifest, WritesWhatTheInstallerReadsBack) {
    const PublishInput inputs[] = {
        {"https://kestravon.test/download/KestravonSetup-1.2.3.exe", "1.2.3", Digest, 12345},
        {"https://www.kestravon.test/a?b=c&d=%22", "2.0 \"beta\" \\ build/7", Digest, MaxInstallerBytes},
        {"https://kestravon.test/x", "caf\xc3\xa9 1", Digest, 1},
    };
    for (const PublishInput& input : inputs) {
        SCOPED_TRACE(input.version);
        std::string json, errorText = "untouched";
        ASSERT_TRUE(BuildManifest(input, json, errorText));
        EXPECT_EQ(errorText, "untouched");
        const std::optional<ReleaseManifest> parsed = ParseManifest(json);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->url, input.url);
        EXPECT_EQ(parsed->sha256, input.sha256);
        EXPECT_EQ(parsed->version, input.version);
        EXPECT_EQ(parsed->size, input.size);
    }
}

TEST(PublishManifest, RefusesWhatTheInstallerWouldNotAccept) {
    struct Case {
        const char* name;
        PublishInput input;
        const char* sentence;
    };
    const char* const BadUrl =
        "The URL must be https on kestravon.test or its www. form, without user information.";
    const char* const BadVersion = "The version must be non-empty printable text without surrounding spaces.";
    const Case cases[] = {
        {"foreign host", {"https://evil.test/setup.exe", "1.0", Digest, 10}, BadUrl},
        {"plain http", {"http://kestravon.test/setup.exe", "1.0", Digest, 10}, BadUrl},
        {"empty version", {"https://kestravon.test/s.exe", "", Digest, 10}, BadVersion},
        {"version with leading space", {"https://kestravon.test/s.exe", " 1.0", Digest, 10}, BadVersion},
        {"version with trailing space", {"https://kestravon.test/s.exe", "1.0 ", Digest, 10}, BadVersion},
        {"version with a line feed", {"https://kestravon.test/s.exe", "1.0\nx", Digest, 10}, BadVersion},
        {"empty file", {"https://kestravon.test/s.exe", "1.0", Digest, 0}, "The setup file is empty."},
        {"too large",
         {"https://kestravon.test/s.exe", "1.0", Digest, MaxInstallerBytes + 1},
         "The setup file is larger than the installer accepts (367001600 bytes)."},
        {"bad digest",
         {"https://kestravon.test/s.exe", "1.0", Digest.substr(1), 10},
         "The installer would read this manifest differently, so it was not written."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string json = "previous", errorText;
        EXPECT_FALSE(BuildManifest(c.input, json, errorText));
        EXPECT_EQ(errorText, c.sentence);
        EXPECT_EQ(json, "previous");
    }
}

// DER SEQUENCE of two INTEGERs with the given content bytes.
std::string SignatureDer(const std::string& r, const std::string& s) {
    const std::string body = "\x02" + std::string(1, static_cast<char>(r.size())) + r + "\x02" +
                             std::string(1, static_cast<char>(s.size())) + s;
    return "\x30" + std::string(1, static_cast<char>(body.size())) + body;
}

// About one signature in 128 has an r or s shorter than 32 bytes.
TEST(ManifestSignature, RAndSArePaddedToThirtyTwoBytes) {
    const std::string A(32, '\x11'), B(32, '\x7f'), High(32, '\x80'), Zero(1, '\0');
    struct Case {
        const char* name;
        std::string der;
        std::string p1363;  // empty: refused
    };
    const Case cases[] = {
        {"both full", SignatureDer(A, B), A + B},
        {"sign byte dropped", SignatureDer(Zero + High, Zero + High), High + High},
        {"short r", SignatureDer(A.substr(1), B), Zero + A.substr(1) + B},
        {"one-byte s", SignatureDer(A, "\x05"), A + std::string(31, '\0') + "\x05"},
        {"r of 33 bytes", SignatureDer("\x01" + A, B), ""},
        {"trailing byte", SignatureDer(A, B) + "x", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string p1363 = "untouched";
        EXPECT_EQ(P1363FromDer(c.der, p1363), !c.p1363.empty());
        EXPECT_EQ(p1363, c.p1363.empty() ? "untouched" : c.p1363);
    }
}

// A release folder read as a pinned installer would: each refusal with the installer's sentence.
TEST(CheckRelease, RefusesWhatAPinnedInstallerWould) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kestravon-check-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "files");
    const std::string setup = "MZ setup program";
    std::ofstream(folder / "files/setup.exe", std::ios::binary) << setup;
    std::vector<UniquePkey> keys, otherKeys;
    keys.emplace_back(EVP_EC_gen("P-256"));
    otherKeys.emplace_back(EVP_EC_gen("P-256"));
    constexpr std::uint64_t Before = 13353724799;  // one second before the expiry
    const std::string Refused = "An installer would refuse this release: Security check failed: ";
    struct Row {
        std::string sha256;  // the manifest's, signed by keys[0] with serial 7, expiring at 2024-03-01T00:00:00Z
        const std::vector<UniquePkey>* keys;
        std::uint64_t now;
        std::uint64_t minSerial;
        std::string verdict;
    };
    const Row rows[] = {
        {Sha256Hex(setup), &keys, Before, 7,
         "An installer would install version 1.2.3 (serial 7) until 2024-03-01T00:00:00Z."},
        {Sha256Hex(setup), &otherKeys, Before, 7, Refused + "release manifest signature did not match."},
        {Sha256Hex(setup), &keys, Before + 1, 7, Refused + "release manifest has expired."},
        {Sha256Hex(setup), &keys, Before, 8, Refused + "release manifest is older than this installer."},
        {Sha256Hex("other"), &keys, Before, 7, Refused + "installer SHA-256 did not match."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.verdict);
        std::string json, line, errorText, verdict;
        ASSERT_TRUE(BuildManifest({"https://kestravon.test/files/setup.exe", "1.2.3", row.sha256, setup.size(), 7,
                                   "2024-03-01T00:00:00Z"},
                                  json, errorText));
        ASSERT_TRUE(SignManifest(keys[0].get(), json, line, errorText)) << errorText;
        std::ofstream(folder / "manifest.json", std::ios::binary) << json;
        std::ofstream(folder / "manifest.json.sig", std::ios::binary) << line;
        EXPECT_EQ(CheckRelease(folder.string(), {row.keys, 1, row.minSerial, row.now}, verdict),
                  row.verdict.rfind(Refused, 0) != 0);
        EXPECT_EQ(verdict, row.verdict);
    }
    std::filesystem::remove_all(folder);
}

// Re-signing touches only a manifest this tool wrote for pinned installers.
TEST(RenewExpiry, RefusesAManifestWithoutAPlainExpiry) {
    std::string unpinned, escaped, renewed = "untouched", errorText;
    ASSERT_TRUE(BuildManifest({"https://kestravon.test/s.exe", "1.0", Digest, 10}, unpinned, errorText));
    ASSERT_TRUE(BuildManifest({"https://kestravon.test/s.exe", "1.0", Digest, 10, 3, "2024-03-01T00:00:00Z"}, escaped,
                              errorText));
    escaped.replace(escaped.find("2024-03-01T00:00:00Z"), 1, "\\u0032");
    for (const std::string& manifest : {unpinned, escaped}) {
        EXPECT_FALSE(RenewExpiry(manifest, "2030-01-02T03:04:05Z", renewed, errorText)) << manifest;
        EXPECT_EQ(renewed, "untouched");
    }
}

}  // namespace
