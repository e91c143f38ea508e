// Test helper for the hold on the verified setup program, in two roles.
// As the setup the worker runs (any other command line): writes "started" to the file
// named by %KESTRAVON_HOLD_STARTED%, waits until the file named by %KESTRAVON_HOLD_RELEASE%
// exists, then exits 0 (4 when no release comes within a minute).
// As "hold_probe.exe probe <file> <report>": from a process of its own, tries to open
// <file> for writing, to rename it and to delete it, and to open it for reading shared
// for reading, and writes the four error codes (0 for success) to <report>.
#include <windows.h>

#include <string>

#include "tests/support/environment.h"

namespace {

// Written under another name and renamed, so the file is complete once it exists.
bool WriteText(const std::wstring& path, const std::string& text) {
    const std::wstring partial = path + L".partial";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(file);
    return ok && MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

DWORD TryOpen(const std::wstring& path, DWORD access, DWORD share) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(file);
    return 0;
}

// Moved back at once when the move succeeds, so the delete below still finds it.
DWORD TryRename(const std::wstring& path) {
    const std::wstring aside = path + L".moved";
    if (!MoveFileExW(path.c_str(), aside.c_str(), 0)) return GetLastError();
    MoveFileExW(aside.c_str(), path.c_str(), 0);
    return 0;
}

DWORD TryDelete(const std::wstring& path) { return DeleteFileW(path.c_str()) ? 0 : GetLastError(); }

int Probe(const std::wstring& path, const std::wstring& report) {
    const DWORD everyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD write = TryOpen(path, GENERIC_WRITE, everyone);
    const DWORD rename = TryRename(path);
    const DWORD remove = TryDelete(path);
    const DWORD read = TryOpen(path, GENERIC_READ, FILE_SHARE_READ);
    const std::string text = "write=" + std::to_string(write) + " rename=" + std::to_string(rename) +
                             " delete=" + std::to_string(remove) + " read=" + std::to_string(read);
    return WriteText(report, text) ? 0 : 1;
}

int RunAsSetup() {
    const std::wstring started = EnvironmentValue(L"KESTRAVON_HOLD_STARTED");
    const std::wstring release = EnvironmentValue(L"KESTRAVON_HOLD_RELEASE");
    if (started.empty() || release.empty()) return 2;
    if (!WriteText(started, "started")) return 3;
    for (int i = 0; i < 6000; ++i) {
        if (GetFileAttributesW(release.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
        Sleep(10);
    }
    return 4;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"probe") return Probe(argv[2], argv[3]);
    return RunAsSetup();
}
