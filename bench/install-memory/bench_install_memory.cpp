// Benchmark: peak memory of one whole installation run by InstallWorker on its own thread,
// from the manifest to starting the downloaded setup, against the test release service.
// Usage: bench_install_memory.exe <bytes> <install folder>   (inside tests/harness/netns-run.sh)
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <windows.h>
#include <psapi.h>

#include "app/window.h"
#include "bench/support/final_message.h"
#include "pipeline/messages.h"
#include "tests/net/service_client.h"

namespace {

constexpr int Seed = 42;

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

struct Peaks {
    double workingSetMiB;
    double pagefileMiB;
};

Peaks ReadPeaks() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return Peaks{static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0,
                 static_cast<double>(counters.PeakPagefileUsage) / 1048576.0};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_install_memory.exe <bytes> <install folder>\n");
        return 2;
    }
    const std::uint64_t size = std::wcstoull(argv[1], nullptr, 10);
    const std::string sha256 = BodySha256(size, Seed);
    if (sha256.size() != 64) {
        std::fprintf(stderr, "the test release service did not answer (run inside netns-run.sh)\n");
        return 1;
    }
    const std::string manifest = "{\"url\":\"" + Narrow(BodyUrl(size, Seed, L"&chunk=131072")) + "\",\"sha256\":\"" +
                                 sha256 + "\",\"version\":\"2.4.1\",\"size\":" + std::to_string(size) + "}";
    if (!WriteManifest(manifest)) return 1;

    // The worker reports to the main window; a message-only window stands in for it.
    auto run = std::make_unique<InstallRun>();
    run->installFolder = argv[2];
    run->report.window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    run->report.token = 1;
    if (!run->report.window) return 1;
    const Peaks before = ReadPeaks();
    const DWORD start = GetTickCount();
    if (!StartWorkerThread(run)) return 1;
    unsigned statuses = 0;
    unsigned progresses = 0;
    const std::wstring outcome = WaitForFinalMessage(statuses, progresses);
    const double seconds = (GetTickCount() - start) / 1000.0;
    const Peaks after = ReadPeaks();
    std::printf("%llu MiB setup, %.2f s, %u statuses, %u progress messages, outcome: %ls\n",
                static_cast<unsigned long long>(size / 1048576), seconds, statuses, progresses, outcome.c_str());
    std::printf("peak working set %.1f MiB (%.1f MiB before the worker), peak pagefile usage %.1f MiB (%.1f before)\n",
                after.workingSetMiB, before.workingSetMiB, after.pagefileMiB, before.pagefileMiB);
    return 0;
}
