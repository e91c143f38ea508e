// Stand-in setup program for the runner tests. Records how it was started in
// <own name>.run.txt beside itself (or in %KESTRAVON_STANDIN_OUTPUT%), then, by its own
// file name: "exit-<n>.exe" exits with n, "wait-forever.exe" never ends, anything else exits 0.
#include <windows.h>

#include <cwchar>

#include "standin_report.h"

int wmain() {
    const std::wstring self = OwnPath();
    const size_t nameStart = self.find_last_of(L"\\/") + 1;
    std::wstring stem = self.substr(nameStart);
    const size_t dot = stem.find_last_of(L'.');
    if (dot != std::wstring::npos) stem.erase(dot);

    wchar_t custom[32768] = {};
    const DWORD customLength = GetEnvironmentVariableW(L"KESTRAVON_STANDIN_OUTPUT", custom, 32768);
    const std::wstring report =
        customLength > 0 && customLength < 32768 ? std::wstring(custom) : self.substr(0, nameStart) + stem + L".run.txt";
    if (!WriteStandinReport(report)) ExitProcess(101);

    if (stem == L"wait-forever") {
        for (;;) Sleep(INFINITE);
    }
    if (stem.rfind(L"exit-", 0) == 0) ExitProcess(static_cast<UINT>(std::wcstoul(stem.c_str() + 5, nullptr, 10)));
    ExitProcess(0);
}
