// Starts a program in a given working directory, waits for its installer window,
// asks it to close with WM_CLOSE and waits for the process to end.
//   close_runner <program> <working directory> [seconds]
// Exit code: 0 when the window appeared and the program then exited with 0;
// 77 when the program exited with 0 without ever showing the window; 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/startup.h"
#include "common/win_owners.h"
#include "tests/support/find_window.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: close_runner <program> <working directory> [seconds]\n");
        return 1;
    }
    const DWORD limitMs = (argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 30) * 1000;
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, argv[2], &startup,
                        &process)) {
        std::fprintf(stderr, "could not start the program (error %lu)\n", GetLastError());
        return 1;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);

    HWND window = nullptr;
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    bool exited = false;
    while (!window && GetTickCount64() < deadline) {
        if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) {
            exited = true;
            break;
        }
        window = FindTopWindow(process.dwProcessId, InstallerWindowClass, nullptr);
    }
    if (window) {
        std::printf("installer window appeared; sending WM_CLOSE\n");
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (!exited && WaitForSingleObject(process.hProcess, limitMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "the program did not exit; terminating it\n");
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    std::printf("program exited with %lu\n", exitCode);
    if (exitCode != 0) return 1;
    return window ? 0 : 77;
}
