// Benchmark: wall time and peak working set of one verified download of a large
// installer from the test release service, against a bare WinHTTP read + CNG hash loop
// and that loop with the download's other per-chunk work added step by step.
// Usage: bench_download.exe installer|bare|bare+write|bare+write+post|post <bytes> <sha256>
//   bare+write       each chunk also written to a file created as the download creates
//                    its own, flushed and closed as it does (the flush timed apart)
//   bare+write+post  and a progress message per chunk whose percentage changed, as the
//                    download's are posted
//   post             only the progress messages of a download of <bytes>, no request
// A window thread pumps the progress messages, as the installer's window does.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include <windows.h>
#include <bcrypt.h>
#include <psapi.h>

#include "net/download.h"
#include "net/https.h"
#include "net/progress.h"
#include "pipeline/messages.h"
#include "tests/support/test_thread.h"

namespace {

// Where the progress messages go: the window thread's window, as one run's report.
RunReport g_report{nullptr, 1};

struct LoopFigures {
    unsigned long long chunks = 0;
    double flushSeconds = 0;
};

double Now() {
    LARGE_INTEGER frequency{}, counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The same request, read into one 128 KiB buffer and hashed; each chunk also written to
// `file` unless it is invalid, and followed by a progress message when `post` is set.
bool BareReadAndHash(const std::wstring& url, HANDLE file, bool post, std::uint64_t size, std::string& hex,
                     LoopFigures& figures) {
    HttpsRequest https;
    ErrorText errorText;
    if (!OpenHttpsRequest(url, https, errorText)) return false;
    UniqueAlgorithmProvider provider;
    UniqueHash hash;
    if (BCryptOpenAlgorithmProvider(provider.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) return false;
    if (BCryptCreateHash(provider.get(), hash.put(), nullptr, 0, nullptr, 0, 0) < 0) return false;
    const auto buffer = std::make_unique<unsigned char[]>(131072);
    std::uint64_t total = 0;
    if (post) PostProgress(g_report, 5);
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(https.request.get(), buffer.get(), 131072, &read)) return false;
        if (read == 0) break;
        ++figures.chunks;
        DWORD written = 0;
        if (file != INVALID_HANDLE_VALUE &&
            (!WriteFile(file, buffer.get(), read, &written, nullptr) || written != read)) {
            return false;
        }
        if (BCryptHashData(hash.get(), buffer.get(), read, 0) < 0) return false;
        total += read;
        if (post) PostProgress(g_report, DownloadPercent(total, size));
    }
    unsigned char digest[32] = {};
    if (BCryptFinishHash(hash.get(), digest, sizeof(digest), 0) < 0) return false;
    hex = HexDigest(digest);
    if (file != INVALID_HANDLE_VALUE) {
        const double start = Now();
        FlushFileBuffers(file);
        figures.flushSeconds = Now() - start;
    }
    return true;
}

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

// A message-only window on its own thread that takes the progress messages, as the
// installer's window thread does while its worker downloads.
struct WindowThread {
    std::optional<TestThread> thread;
    DWORD threadId = 0;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unsigned long long messages = 0;
};

void StartWindowThread(WindowThread& w) {
    w.thread.emplace([&w] {
        w.threadId = GetCurrentThreadId();
        g_report.window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetEvent(w.ready);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.message == WM_APP_PROGRESS) ++w.messages;
            DispatchMessageW(&message);
        }
    });
    WaitForSingleObject(w.ready, INFINITE);
}

void StopWindowThread(WindowThread& w) {
    PostThreadMessageW(w.threadId, WM_QUIT, 0, 0);
    w.thread->join();
    CloseHandle(w.ready);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_download installer|bare|bare+write|bare+write+post|post <bytes> <sha256>\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::uint64_t size = std::strtoull(argv[2], nullptr, 10);
    const std::string sha = argv[3];
    const std::wstring url = L"https://kestravon.test/t/body?size=" + std::to_wstring(size) + L"&seed=42&chunk=131072";

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring path = std::wstring(temp) + L"KestravonSetup-bench.exe";

    WindowThread window;
    StartWindowThread(window);
    if (!g_report.window) std::fprintf(stderr, "no window for the progress messages\n");

    const SIZE_T before = PeakWorkingSet();
    LoopFigures figures;
    const double start = Now();
    bool ok = false;
    if (mode == "installer") {
        ErrorText errorText;
        UniqueFileHandle verified;
        const DownloadProgress progress{
            [](void* report, int percent) { PostProgress(*static_cast<RunReport*>(report), percent); }, &g_report};
        ok = DownloadInstaller(url, sha, path, size, progress, verified, errorText);
        if (!ok) std::fprintf(stderr, "DownloadInstaller: %ls\n", errorText.sentence.c_str());
        verified.reset();
        DeleteFileW(path.c_str());
    } else if (mode == "bare+write" || mode == "bare+write+post") {
        UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr));
        std::string hex;
        ok = file && BareReadAndHash(url, file.get(), mode == "bare+write+post", size, hex, figures) && hex == sha;
        file.reset();
        DeleteFileW(path.c_str());
    } else if (mode == "post") {
        PostProgress(g_report, 5);
        for (std::uint64_t total = 131072; total < size + 131072; total += 131072) {
            PostProgress(g_report, DownloadPercent(total < size ? total : size, size));
        }
        ok = true;
    } else {
        std::string hex;
        ok = BareReadAndHash(url, INVALID_HANDLE_VALUE, false, size, hex, figures) && hex == sha;
    }
    const double seconds = Now() - start;
    const SIZE_T peak = PeakWorkingSet();
    StopWindowThread(window);

    std::printf("%-15s %s  %6.2f s  %7.1f MiB/s  peak working set %5.1f MiB (%5.1f before)", mode.c_str(),
                ok ? "ok  " : "FAIL", seconds, static_cast<double>(size) / 1048576.0 / seconds,
                static_cast<double>(peak) / 1048576.0, static_cast<double>(before) / 1048576.0);
    if (figures.chunks != 0) std::printf("  chunks %llu", figures.chunks);
    if (figures.flushSeconds != 0) std::printf("  flush %.2f s", figures.flushSeconds);
    std::printf("  progress messages %llu\n", window.messages);
    return ok ? 0 : 1;
}
