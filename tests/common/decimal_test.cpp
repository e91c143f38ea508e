// DecimalText against the digits std::to_wstring gives, across the whole range.
#include "common/decimal.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

TEST(DecimalTextTest, WritesEveryValueAsToWstringDoes) {
    const unsigned long long values[] = {0,          1,          9,          10,         99,
                                         100,        101,        4294967295, 4294967296, 3221225477,
                                         ULLONG_MAX / 10, ULLONG_MAX - 1, ULLONG_MAX};
    for (const unsigned long long value : values) {
        EXPECT_EQ(DecimalText(value), std::to_wstring(value)) << value;
    }
}

TEST(DecimalTextTest, WritesExactDigitsWithoutPaddingOrSign) {
    struct Case {
        unsigned long long value;
        const wchar_t* text;
    };
    const Case cases[] = {{0, L"0"},
                          {7, L"7"},
                          {100, L"100"},
                          {404, L"404"},
                          {3221225477, L"3221225477"},
                          {18446744073709551615ull, L"18446744073709551615"}};
    for (const Case& c : cases) EXPECT_EQ(DecimalText(c.value), c.text) << c.value;
}
