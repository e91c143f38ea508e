// UTF-8 to UTF-16 through MultiByteToWideChar, which refuses invalid input rather than guessing.
#include "pipeline/utf8.h"

#include <climits>

#include <windows.h>

std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty()) return {};
    // The API counts in int; anything larger cannot be converted in one call.
    if (text.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int byteCount = static_cast<int>(text.size());
    // An explicit byte count (not -1) keeps embedded NULs and adds no terminator.
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), byteCount, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    const int written = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), byteCount, wide.data(), length);
    if (written != length) return {};
    return wide;
}
