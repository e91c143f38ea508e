// Stand-in for setup/path_rules.cpp until that branch lands: just enough for the window.
#include "setup/path_rules.h"

std::wstring JoinPath(const std::wstring& left, const std::wstring& right) {
    if (left.empty()) return right;
    const wchar_t last = left.back();
    return (last == L'\\' || last == L'/') ? left + right : left + L'\\' + right;
}

std::wstring ParentPath(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool IsAbsolutePath(const std::wstring& path) {
    const bool drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    const bool unc = path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\';
    return drive || unc;
}

std::wstring NormalizePath(const std::wstring& path) { return path; }
