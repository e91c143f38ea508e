// Decimal text of unsigned numbers for the window and error sentences.
#pragma once

#include <string>

// The value in decimal digits, without sign, grouping or padding: what std::to_wstring
// prints for an unsigned value, without pulling printf into the executable.
std::wstring DecimalText(unsigned long long value);
