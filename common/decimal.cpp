// Decimal text of unsigned numbers, written digit by digit.
#include "common/decimal.h"

#include <iterator>

std::wstring DecimalText(unsigned long long value) {
    wchar_t digits[20];  // 18446744073709551615, the largest value, has 20
    wchar_t* const end = std::end(digits);
    wchar_t* first = end;
    do {
        *--first = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(first, end);
}
