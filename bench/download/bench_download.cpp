// Benchmark: wall time and peak working set of one verified download of a large
// installer from the test release service, or of a bare WinHTTP read + CNG hash loop.
// Usage: bench_download.exe installer|bare <bytes> <sha256>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <windows.h>
#include <bcrypt.h>
#include <psapi.h>

#include "net/download.h"
#include "net/https.h"

namespace {

void CloseAlgorithmProvider(BCRYPT_ALG_HANDLE provider) { BCryptCloseAlgorithmProvider(provider, 0); }
using UniqueAlgorithmProvider = UniqueNullHandle<BCRYPT_ALG_HANDLE, CloseAlgorithmProvider>;
using UniqueHash = UniqueNullHandle<BCRYPT_HASH_HANDLE, BCryptDestroyHash>;

// The same request, read into one 128 KiB buffer and hashed, without a file.
bool BareReadAndHash(const std::wstring& url, std::string& hex) {
    RedirectTrace trace;
    WinHttpHandle root;
    WinHttpHandle connection;
    WinHttpHandle request;
    std::wstring errorText;
    if (!OpenHttpsRequest(url, root, connection, request, trace, errorText)) return false;
    UniqueAlgorithmProvider provider;
    UniqueHash hash;
    if (BCryptOpenAlgorithmProvider(provider.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) return false;
    if (BCryptCreateHash(provider.get(), hash.put(), nullptr, 0, nullptr, 0, 0) < 0) return false;
    const auto buffer = std::make_unique<unsigned char[]>(131072);
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.get(), 131072, &read)) return false;
        if (read == 0) break;
        if (BCryptHashData(hash.get(), buffer.get(), read, 0) < 0) return false;
    }
    unsigned char digest[32] = {};
    if (BCryptFinishHash(hash.get(), digest, sizeof(digest), 0) < 0) return false;
    hex = HexDigest(digest);
    return true;
}

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_download installer|bare <bytes> <sha256>\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::uint64_t size = std::strtoull(argv[2], nullptr, 10);
    const std::string sha = argv[3];
    const std::wstring url = L"https://kestravon.test/t/body?size=" + std::to_wstring(size) + L"&seed=42&chunk=131072";

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring path = std::wstring(temp) + L"KestravonSetup-bench.exe";

    const SIZE_T before = PeakWorkingSet();
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    bool ok = false;
    if (mode == "installer") {
        std::wstring errorText;
        UniqueFileHandle verified;
        ok = DownloadInstaller(url, sha, path, size, verified, errorText);
        if (!ok) std::fprintf(stderr, "DownloadInstaller: %ls\n", errorText.c_str());
        verified.reset();
        DeleteFileW(path.c_str());
    } else {
        std::string hex;
        ok = BareReadAndHash(url, hex) && hex == sha;
    }
    QueryPerformanceCounter(&end);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    const SIZE_T peak = PeakWorkingSet();
    std::printf("%-9s %s  %6.2f s  %7.1f MiB/s  peak working set %6.1f MiB (%5.1f MiB before)\n", mode.c_str(),
                ok ? "ok  " : "FAIL", seconds, static_cast<double>(size) / 1048576.0 / seconds,
                static_cast<double>(peak) / 1048576.0, static_cast<double>(before) / 1048576.0);
    return ok ? 0 : 1;
}
