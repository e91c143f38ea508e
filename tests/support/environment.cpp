// Where a Windows test runs: environment variables, Wine and the build tree.
#include "tests/support/environment.h"

#include <vector>

#include <windows.h>

namespace {

std::wstring WithBackslashes(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

}  // namespace

std::wstring EnvironmentValue(const wchar_t* name) {
    std::vector<wchar_t> buffer(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, buffer.data(), 32768);
    return length > 0 && length < 32768 ? std::wstring(buffer.data()) : std::wstring();
}

bool RunningOnWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::wstring HostPathFromEnvironment(const wchar_t* name) {
    const std::wstring path = EnvironmentValue(name);
    if (path.empty() || path[0] != L'/') return std::wstring();
    return L"Z:" + WithBackslashes(path);
}

std::wstring BuildTreePath(const std::wstring& relative) {
    const std::wstring buildDir = HostPathFromEnvironment(L"KESTRAVON_BUILD_DIR");
    return buildDir.empty() ? buildDir : buildDir + L"\\" + WithBackslashes(relative);
}

std::wstring StandinPath(const std::wstring& name) { return BuildTreePath(L"standins/" + name); }

std::wstring InstallerExePath(bool pinned) {
    return BuildTreePath(pinned ? L"tests/app/pinned/KestravonInstaller.exe" : L"app/KestravonInstaller.exe");
}

// An empty value reads as unset, so it is put back as unset.
ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const wchar_t* value)
    : name_(name), old_(EnvironmentValue(name)) {
    SetEnvironmentVariableW(name, value);
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironmentVariableW(name_, old_.empty() ? nullptr : old_.c_str()); }
