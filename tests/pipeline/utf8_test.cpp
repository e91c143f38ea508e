// Utf8ToWide through the real MultiByteToWideChar: valid text converts, any invalid byte empties it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "pipeline/utf8.h"

namespace {

using namespace std::string_literals;

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::wstring expected;  // empty: refused (or empty input)
};

std::string Hex(const std::wstring& text) {
    std::string out;
    char unit[8];
    for (wchar_t c : text) {
        snprintf(unit, sizeof(unit), "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

TEST(Utf8ToWide, ConvertsValidAndRefusesInvalid) {
    const std::vector<Utf8Case> rows = {
        {"empty", "", L""},
        {"ascii url", "https://kestravon.test/a?b=c", L"https://kestravon.test/a?b=c"},
        {"two-byte", "caf\xC3\xA9", L"caf\u00E9"},
        {"three-byte", "\xE2\x82\xAC" "5", L"\u20AC" L"5"},
        {"four-byte becomes a surrogate pair", "\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        {"highest code point", "\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
        {"last before surrogates", "\xED\x9F\xBF", L"\xD7FF"},
        {"first after surrogates", "\xEE\x80\x80", L"\xE000"},
        {"embedded NUL kept", "a\0b"s, L"a\0b"s},
        {"only NUL", "\0"s, L"\0"s},

        {"overlong two-byte slash", "\xC0\xAF", L""},
        {"overlong two-byte NUL", "\xC0\x80", L""},
        {"overlong three-byte", "\xE0\x80\xAF", L""},
        {"overlong four-byte", "\xF0\x80\x80\xAF", L""},
        {"lone continuation", "\x80", L""},
        {"continuation inside text", "abc\xBF" "def", L""},
        {"truncated two-byte", "\xC3", L""},
        {"truncated three-byte", "ok\xE2\x82", L""},
        {"truncated four-byte", "\xF0\x9F\x98", L""},
        {"high surrogate encoded", "\xED\xA0\x80", L""},
        {"low surrogate encoded", "\xED\xBF\xBF", L""},
        {"surrogate pair encoded separately", "\xED\xA0\xBD\xED\xB8\x80", L""},
        {"above the highest code point", "\xF4\x90\x80\x80", L""},
        {"byte FE", "\xFE", L""},
        {"byte FF", "x\xFF", L""},
        {"lead byte before ASCII", "\xC3" "a", L""},
    };
    for (const Utf8Case& row : rows) {
        const std::wstring wide = Utf8ToWide(row.utf8);
        EXPECT_EQ(wide, row.expected) << row.name << ": got " << Hex(wide);
    }
}

// The URL of a real manifest can be long; the conversion must not stop at any fixed size.
TEST(Utf8ToWide, ConvertsLongText) {
    std::string utf8;
    std::wstring expected;
    for (int i = 0; i < 100000; ++i) {
        utf8 += "a\xC3\xA9\xF0\x9F\x98\x80";
        expected += L"a\u00E9\xD83D\xDE00";
    }
    EXPECT_EQ(Utf8ToWide(utf8), expected);
    utf8 += "\x80";
    EXPECT_EQ(Utf8ToWide(utf8), L"");
}

}  // namespace
