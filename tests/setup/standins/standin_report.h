// What a stand-in program writes about how it was started: UTF-16LE lines
// "cwd=<current directory>", "cmdline=<command line>", "pid=<process id>", each
// ended by CR LF, no byte-order mark. Written beside and renamed, so a reader never
// sees half a file.
#pragma once

#include <windows.h>

#include <string>

inline bool WriteStandinReport(const std::wstring& path) {
    wchar_t directory[32768] = {};
    GetCurrentDirectoryW(32768, directory);
    const std::wstring text = L"cwd=" + std::wstring(directory) + L"\r\ncmdline=" + GetCommandLineW() +
                              L"\r\npid=" + std::to_wstring(GetCurrentProcessId()) + L"\r\n";
    const std::wstring partial = path + L".partial";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const bool ok = WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
    CloseHandle(file);
    return ok && MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The full path of this program.
inline std::wstring OwnPath() {
    wchar_t path[32768] = {};
    GetModuleFileNameW(nullptr, path, 32768);
    return path;
}
