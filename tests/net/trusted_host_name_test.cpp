// IsTrustedHostName: exactly the service host and its "www." form, A-Z folded only.
#include <gtest/gtest.h>

#include "net/trusted_host.h"

namespace {

TEST(IsTrustedHostName, ExactNamesAfterAsciiFolding) {
    ASSERT_STREQ(ServiceHost, L"kestravon.test") << "cases below are written for the test service host";
    struct Case {
        std::wstring host;
        bool trusted;
    };
    const Case cases[] = {
        {L"kestravon.test", true},
        {L"www.kestravon.test", true},
        {L"KESTRAVON.TEST", true},
        {L"Kestravon.Test", true},
        {L"WWW.KeStRaVoN.tEsT", true},
        {L"", false},
        {L"kestravon.test.", false},
        {L"www.kestravon.test.", false},
        {L".kestravon.test", false},
        {L"api.kestravon.test", false},
        {L"www2.kestravon.test", false},
        {L"www.www.kestravon.test", false},
        {L"evilkestravon.test", false},
        {L"wwwkestravon.test", false},
        {L"kestravon.test.evil.test", false},
        {L"kestravon.tes", false},
        {L"estravon.test", false},
        {L"kestravon.test:443", false},
        {L"kestravon", false},
        {L"test", false},
        {L" kestravon.test", false},
        {std::wstring(L"kestravon.test\0", 15), false},
        // Letters outside A-Z are never folded: Kelvin sign, dotless/dotted I, fullwidth.
        {L"\x212A" L"estravon.test", false},
        {L"kestravon.\xFF34\xFF25\xFF33\xFF34", false},
        {L"kestravon.tes\x0130", false},
        {L"kestravon.\x0422" L"est", false},
        // Already folded non-ASCII letters are not equal either.
        {L"k\x0435stravon.test", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsTrustedHostName(c.host), c.trusted) << testing::PrintToString(c.host);
    }
}

}  // namespace
