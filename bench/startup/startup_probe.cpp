// Start-up to first paint, measured from outside: the time from CreateProcess until a screen
// pixel inside the window's centred 560x380 rectangle shows the background colour (16,19,25).
// Runs the programs alternately, ends each one by its process handle, and prints medians.
// Usage: startup_probe.exe <runs> <program.exe>...
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "common/win_owners.h"

namespace {

constexpr int Width = 560;
constexpr int Height = 380;
// Left of the headline, below the header: background in every screen of the installer.
constexpr POINT Probe{20, 150};
constexpr COLORREF Background = RGB(16, 19, 25);
constexpr double TimeoutSeconds = 20.0;

double Now() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

POINT ProbeOnScreen() {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return POINT{area.left + (area.right - area.left - Width) / 2 + Probe.x,
                 area.top + (area.bottom - area.top - Height) / 2 + Probe.y};
}

bool ProbeShows(COLORREF colour, POINT point) {
    HDC screen = GetDC(nullptr);
    const COLORREF seen = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return seen == colour;
}

// Seconds to the painted pixel; negative when the program did not paint in time.
double TimeToFirstPaint(const std::wstring& program, POINT point) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const double start = Now();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return -1;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    double elapsed = -1;
    while (Now() - start < TimeoutSeconds) {
        if (ProbeShows(Background, point)) {
            elapsed = Now() - start;
            break;
        }
        Sleep(1);
    }
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 10000);
    // The next run starts from an unpainted screen.
    const double gone = Now();
    while (ProbeShows(Background, point) && Now() - gone < TimeoutSeconds) Sleep(5);
    return elapsed;
}

const wchar_t* FileName(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c) {
        if (*c == L'\\' || *c == L'/') name = c + 1;
    }
    return name;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_probe.exe <runs> <program.exe>...\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    const POINT point = ProbeOnScreen();
    if (ProbeShows(Background, point)) {
        std::fprintf(stderr, "the probed pixel already shows the background colour\n");
        return 1;
    }
    std::vector<std::vector<double>> times(static_cast<size_t>(argc - 2));
    for (int run = 0; run < runs; ++run) {
        for (int i = 2; i < argc; ++i) {
            const double seconds = TimeToFirstPaint(argv[i], point);
            if (seconds < 0) {
                std::fprintf(stderr, "%ls: no painted pixel within %.0f s\n", argv[i], TimeoutSeconds);
                return 1;
            }
            times[static_cast<size_t>(i - 2)].push_back(seconds);
        }
    }
    const double first = Median(times[0]);
    for (size_t i = 0; i < times.size(); ++i) {
        const auto [low, high] = std::minmax_element(times[i].begin(), times[i].end());
        std::printf("%-30ls median %7.1f ms  (min %6.1f, max %6.1f, %d runs)  %.2fx the first\n",
                    FileName(argv[i + 2]), Median(times[i]) * 1000,
                    *low * 1000, *high * 1000, runs, Median(times[i]) / first);
    }
    return 0;
}
