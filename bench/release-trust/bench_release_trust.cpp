// Benchmark: what a signed, pinned release adds to a whole installation. One run per process,
// as the installer makes one, against the test release service (inside netns-run.sh).
// Usage: bench_release_trust.exe unpinned|pinned <install folder>   one installation by InstallWorker
//        bench_release_trust.exe parts <setup file>                 the pinned checks alone
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include <windows.h>

#include "app/window.h"
#include "common/win_owners.h"
#include "net/manifest_fetch.h"
#include "net/manifest_signature.h"
#include "bench/support/final_message.h"
#include "pipeline/messages.h"
#include "pipeline/worker.h"
#include "release_trust.h"  // the test pins
#include "setup/setup_publisher.h"

namespace {

double Seconds(const LARGE_INTEGER& from) {
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now;
}

int Install(bool pinned, const wchar_t* folder) {
    auto run = std::make_unique<InstallRun>();
    run->installFolder = folder;
    run->report.window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    run->report.token = 1;
    if (pinned) run->pins = KESTRAVON_RELEASE_PINS;
    if (!run->report.window) return 1;
    const LARGE_INTEGER start = Now();
    if (!StartWorkerThread(run)) return 1;
    unsigned statuses = 0;
    unsigned progresses = 0;
    const std::wstring outcome = WaitForFinalMessage(statuses, progresses);
    std::printf("%-8s %6.3f s  %ls\n", pinned ? "pinned" : "unpinned", Seconds(start), outcome.c_str());
    return outcome == L"succeeded" ? 0 : 1;
}

// The three additions apart: the signature's request, its verification, and the
// publisher check of the whole setup file held as the download holds it.
int Parts(const wchar_t* setupPath) {
    std::string manifest;
    std::string signature;
    ErrorText errorText;
    if (!FetchManifest(ManifestUrl, manifest, errorText)) return 1;
    LARGE_INTEGER start = Now();
    const bool fetched = FetchManifestSignature(ManifestSignatureUrl, signature, errorText);
    const double request = Seconds(start);
    start = Now();
    const ReleasePins pins = KESTRAVON_RELEASE_PINS;
    const bool verified = fetched && VerifyManifestSignature(manifest, signature, pins.releaseKeys, errorText);
    const double verify = Seconds(start);
    const UniqueFileHandle held(CreateFileW(setupPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    start = Now();
    const bool signedByPublisher = CheckSetupPublisher(held.get(), setupPath, pins.setupSigner, errorText);
    const double publisher = Seconds(start);
    std::printf("parts    signature request %.1f ms, signature verification %.2f ms, publisher check %.1f ms%s%ls\n",
                request * 1000, verify * 1000, publisher * 1000, verified && signedByPublisher ? "" : "  FAILED: ",
                verified && signedByPublisher ? L"" : errorText.sentence.c_str());
    return verified && signedByPublisher ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"unpinned") == 0) return Install(false, argv[2]);
    if (argc == 3 && std::wcscmp(argv[1], L"pinned") == 0) return Install(true, argv[2]);
    if (argc == 3 && std::wcscmp(argv[1], L"parts") == 0) return Parts(argv[2]);
    std::fprintf(stderr, "usage: bench_release_trust.exe unpinned|pinned <install folder> | parts <setup file>\n");
    return 2;
}
