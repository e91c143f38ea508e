// Where the built KestravonInstaller.exe lies, as a Windows path under Wine.
#pragma once

#include <cstdlib>
#include <string>

// "$KESTRAVON_BUILD_DIR/app/KestravonInstaller.exe" (or the pinned test build in
// tests/app/pinned) through Wine's Z: drive, which maps the Unix root; empty when the
// variable is missing (not run through ctest).
inline std::wstring InstallerExePath(bool pinned = false) {
    const char* buildDir = std::getenv("KESTRAVON_BUILD_DIR");
    if (!buildDir || buildDir[0] != '/') return std::wstring();
    std::wstring path = L"Z:";
    for (const char* c = buildDir; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path + (pinned ? L"\\tests\\app\\pinned" : L"\\app") + L"\\KestravonInstaller.exe";
}
