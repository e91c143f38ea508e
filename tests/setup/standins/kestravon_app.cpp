// Stand-in for the installed application: records how it was started in launched.txt
// beside itself, then exits 0 without a window.
#include <windows.h>

#include "standin_report.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring folder = OwnPath();
    folder.erase(folder.find_last_of(L"\\/") + 1);
    return WriteStandinReport(folder + L"launched.txt") ? 0 : 1;
}
