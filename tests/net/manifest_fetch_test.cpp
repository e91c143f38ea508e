// FetchManifest against the test release service: body, limit, failures.
#include <gtest/gtest.h>

#include "net/manifest_fetch.h"
#include "tests/net/service_client.h"

namespace {

constexpr wchar_t ManifestPathUrl[] = L"https://kestravon.test/api/v1/launcher/installer/windows-x86_64";

TEST(FetchManifest, ReturnsTheServedBytesUnchanged) {
    ASSERT_FALSE(ServiceDir().empty()) << "run through tests/harness/netns-run.sh";
    const std::string documents[] = {
        R"({"url":"https://kestravon.test/files/setup.exe","sha256":"00","version":"1.0","size":1})",
        std::string("\xff\xfe\x00not utf-8\xc3\x28\x00\x00", 16),
        std::string(70000, 'x'),
    };
    for (const std::string& document : documents) {
        ASSERT_TRUE(WriteManifest(document));
        std::string body = "stale";
        ErrorText errorText{L"untouched"};
        EXPECT_TRUE(FetchManifest(ManifestPathUrl, body, errorText)) << errorText.sentence;
        EXPECT_EQ(body, document);
        EXPECT_EQ(errorText.sentence, L"untouched");
    }
}

TEST(FetchManifest, EmptyBodies) {
    for (const std::wstring& url : {std::wstring(L"https://kestravon.test/t/status/204"), BodyUrl(0, 1),
                                   BodyUrl(0, 1, L"&cl=none")}) {
        std::string body = "stale";
        ErrorText errorText{L"untouched"};
        EXPECT_TRUE(FetchManifest(url, body, errorText)) << testing::PrintToString(url) << errorText.sentence;
        EXPECT_TRUE(body.empty());
        EXPECT_EQ(errorText.sentence, L"untouched");
    }
}

TEST(FetchManifest, LimitHoldsWhateverTheChunking) {
    // Sizes around the limit, written by the service in writes of these sizes, with
    // and without a Content-Length.
    const std::uint64_t sizes[] = {MaxManifestBytes - 1, MaxManifestBytes, MaxManifestBytes + 1,
                                   MaxManifestBytes + 16384};
    const wchar_t* framings[] = {L"&chunk=1&slowfrom=1040000", L"&chunk=7&slowfrom=1000000", L"&chunk=16384",
                                 L"&chunk=65536", L"&chunk=65536&cl=none", L"&chunk=16383&te=chunked"};
    for (const std::uint64_t size : sizes) {
        for (const wchar_t* framing : framings) {
            SCOPED_TRACE(testing::Message() << size << " bytes" << testing::PrintToString(std::wstring(framing)));
            std::string body;
            ErrorText errorText;
            const bool ok = FetchManifest(BodyUrl(size, 3, framing), body, errorText);
            if (size <= MaxManifestBytes) {
                EXPECT_TRUE(ok) << errorText.sentence;
                EXPECT_EQ(body.size(), size);
            } else {
                EXPECT_FALSE(ok);
                EXPECT_EQ(errorText.sentence, L"Kestravon manifest is unexpectedly large.");
                EXPECT_LE(body.size(), MaxManifestBytes) << "the body never grows past the limit";
            }
        }
    }
}

TEST(FetchManifest, FailuresKeepTheirSentence) {
    struct Case {
        std::wstring url;
        const wchar_t* sentence;
        bool bodyKept;  // the request failed before the body was emptied
    };
    const Case cases[] = {
        {L"https://kestravon.test/t/status/404", L"Kestravon server returned HTTP 404.", true},
        {L"https://kestravon.test/t/status/500", L"Kestravon server returned HTTP 500.", true},
        {L"http://kestravon.test/api/v1/launcher/installer/windows-x86_64", L"Only HTTPS downloads are allowed.", true},
        {L"https://kestravon.test:9443/t/status/200", L"Kestravon server did not respond.", true},
        {L"https://unknown-host.invalid/", L"Kestravon server did not respond.", true},
        {BodyUrl(500000, 4, L"&drop=100000"), L"Could not read the Kestravon manifest.", false},
        {BodyUrl(500000, 4, L"&drop=0"), L"Could not read the Kestravon manifest.", false},
        {BodyUrl(500000, 4, L"&drop=200000&cl=none"), L"Could not read the Kestravon manifest.", false},
        {BodyUrl(1000, 4, L"&chunk=16&every=0.5"), L"Could not read the Kestravon manifest.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.url));
        std::string body = "caller's";
        ErrorText errorText{L"earlier text"};
        EXPECT_FALSE(FetchManifest(c.url, body, errorText, TestStall));
        EXPECT_EQ(errorText.sentence, c.sentence);
        if (c.bodyKept) EXPECT_EQ(body, "caller's");
    }
}

// A server that is down or busy is not one that has no signature to give.
TEST(FetchManifestSignature, OnlyARefusalMeansNotSigned) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"404", L"Security check failed: release manifest is not signed."},
        {L"403", L"Security check failed: release manifest is not signed."},
        {L"503", L"Kestravon server returned HTTP 503."},
        {L"429", L"Kestravon server returned HTTP 429."},
    };
    for (const auto& [status, sentence] : rows) {
        std::string text;
        ErrorText errorText;
        const std::wstring url = std::wstring(L"https://kestravon.test/t/status/") + status;
        EXPECT_FALSE(FetchManifestSignature(url, text, errorText));
        EXPECT_EQ(errorText.sentence, sentence) << status;
    }
}

TEST(FetchManifest, FollowsRedirects) {
    ASSERT_TRUE(WriteManifest("{}"));
    std::string body;
    ErrorText errorText;
    EXPECT_TRUE(FetchManifest(L"https://kestravon.test/t/redirect?to=" + std::wstring(ManifestPathUrl), body,
                              errorText))
        << errorText.sentence;
    EXPECT_EQ(body, "{}");
}

}  // namespace
