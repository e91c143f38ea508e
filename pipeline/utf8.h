// UTF-8 to UTF-16 through the platform, refusing invalid sequences.
#pragma once

#include <string>

// Empty when the text is empty or not valid UTF-8.
std::wstring Utf8ToWide(const std::string& text);
