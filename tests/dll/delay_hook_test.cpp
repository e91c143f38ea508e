// The delay-load failure hook: its stand-ins per calling convention, and real
// delay-loaded calls into functions and libraries that are not there.
#include <gtest/gtest.h>

#include <windows.h>
#include <bcrypt.h>
#include <dwmapi.h>
#include <winhttp.h>
#include <oleacc.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "app/dll_safety.h"
#include "common/owners.h"

// Delay-loaded from the real DLLs, which do not export them.
extern "C" BOOL WINAPI WinHttpKestravonMissing(HINTERNET);
extern "C" NTSTATUS WINAPI BCryptKestravonMissing(BCRYPT_ALG_HANDLE);
extern "C" HRESULT WINAPI DwmKestravonMissing(HWND);

namespace {

void CloseAlgorithmProvider(BCRYPT_ALG_HANDLE provider) { BCryptCloseAlgorithmProvider(provider, 0); }
using UniqueAlgorithmProvider = UniqueNullHandle<BCRYPT_ALG_HANDLE, CloseAlgorithmProvider>;
using UniqueInternet = UniqueNullHandle<HINTERNET, WinHttpCloseHandle>;

bool Succeeded(NTSTATUS status) { return status >= 0; }

constexpr DWORD NoLastError = 0xFFFFFFFF;
constexpr INT_PTR DllNotFound = static_cast<LONG>(0xC0000135);
constexpr INT_PTR EntrypointNotFound = static_cast<LONG>(0xC0000139);

struct StubCase {
    const char* dll;
    const char* function;
    bool libraryMissing;
    INT_PTR result;     // compared in the width the real function returns
    bool narrow;        // 32-bit result (NTSTATUS, HRESULT, DWORD)
    DWORD lastError;    // NoLastError: the convention does not set it
};

const StubCase StubCases[] = {
    {"winhttp.dll", "WinHttpOpen", true, 0, false, ERROR_MOD_NOT_FOUND},
    {"WINHTTP.DLL", "WinHttpReadData", false, 0, false, ERROR_PROC_NOT_FOUND},
    {"winhttp.dll", nullptr, true, 0, false, ERROR_MOD_NOT_FOUND},  // import by ordinal
    {"winhttp.dll", "WinHttpSetStatusCallback", true, -1, false, ERROR_MOD_NOT_FOUND},
    {"bcrypt.dll", "BCryptOpenAlgorithmProvider", true, DllNotFound, true, NoLastError},
    {"bcrypt.dll", "BCryptHashData", false, EntrypointNotFound, true, NoLastError},
    {"dwmapi.dll", "DwmSetWindowAttribute", true, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), true, NoLastError},
    {"Dwmapi.dll", "DwmSetWindowAttribute", false, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), true, NoLastError},
    // An LRESULT: the window procedure takes it as a failure only if it is negative in 64 bits.
    {"oleacc.dll", "LresultFromObject", true, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), false, NoLastError},
    {"wintrust.dll", "WinVerifyTrust", true, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), true, NoLastError},
    {"wintrust.dll", "WTHelperProvDataFromStateData", false, 0, false, ERROR_PROC_NOT_FOUND},
    {"crypt32.dll", "CertGetCertificateChain", true, 0, false, ERROR_MOD_NOT_FOUND},
};

TEST(DelayLoadFailureStub, FailsEachCallTheWayThatFunctionReportsFailure) {
    for (const StubCase& c : StubCases) {
        SCOPED_TRACE(std::string(c.dll) + " " + (c.function ? c.function : "#ordinal") +
                     (c.libraryMissing ? " (library missing)" : " (function missing)"));
        FARPROC stub = DelayLoadFailureStub(c.dll, c.function, c.libraryMissing);
        ASSERT_NE(stub, nullptr);
        SetLastError(NoLastError);
        const INT_PTR result = stub();
        const DWORD lastError = GetLastError();
        if (c.narrow) {
            EXPECT_EQ(static_cast<LONG>(result), static_cast<LONG>(c.result));
        } else {
            EXPECT_EQ(result, c.result);
        }
        EXPECT_EQ(lastError, c.lastError);
    }
}

TEST(DelayLoadFailureStub, FailureValuesReadAsFailures) {
    EXPECT_FALSE(Succeeded(static_cast<NTSTATUS>(DelayLoadFailureStub("bcrypt.dll", "BCryptFinishHash", true)())));
    EXPECT_TRUE(FAILED(static_cast<HRESULT>(DelayLoadFailureStub("dwmapi.dll", "DwmFlush", false)())));
    EXPECT_EQ(reinterpret_cast<WINHTTP_STATUS_CALLBACK>(
                  DelayLoadFailureStub("winhttp.dll", "WinHttpSetStatusCallback", false)()),
              WINHTTP_INVALID_STATUS_CALLBACK);
}

TEST(DelayLoadFailureStub, UnknownLibraryHasNoStandIn) {
    EXPECT_EQ(DelayLoadFailureStub("kestravon.dll", "Anything", true), nullptr);
    EXPECT_EQ(DelayLoadFailureStub("winhttp", "WinHttpOpen", true), nullptr);
    EXPECT_EQ(DelayLoadFailureStub(nullptr, "WinHttpOpen", true), nullptr);
}

TEST(DelayLoadFailureStub, EveryDelayLoadedLibraryHasRules) {
    std::istringstream built(KESTRAVON_DELAY_LOADED_DLLS);  // as the build delay-loads them
    std::string name;
    int count = 0;
    while (std::getline(built, name, ',')) {
        ++count;
        const std::string dll = name + ".dll";
        bool listed = false;
        for (const char* known : DelayLoadedDlls) listed = listed || dll == known;
        EXPECT_TRUE(listed) << dll;
        EXPECT_NE(DelayLoadFailureStub(dll.c_str(), "AnyFunction", true), nullptr) << dll;
    }
    EXPECT_GT(count, 0);
}

TEST(DelayLoadHook, MissingFunctionFailsTheCallAndLeavesTheLibraryBound) {
    for (int round = 0; round < 2; ++round) {  // the second call goes straight to the stand-in
        SetLastError(NoLastError);
        EXPECT_FALSE(WinHttpKestravonMissing(nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
        EXPECT_EQ(BCryptKestravonMissing(nullptr), static_cast<NTSTATUS>(EntrypointNotFound));
        EXPECT_EQ(DwmKestravonMissing(nullptr), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    }
    UniqueInternet session(WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    EXPECT_TRUE(session);
    UniqueAlgorithmProvider algorithm;
    EXPECT_TRUE(Succeeded(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)));
}

// Run by a second ctest entry with Wine told that these libraries do not exist.
TEST(MissingLibrary, CallsFailWithTheLibrarysConvention) {
    if (!std::getenv("KESTRAVON_EXPECT_MISSING_DLLS")) GTEST_SKIP() << "needs the libraries disabled";
    for (int round = 0; round < 2; ++round) {
        SetLastError(NoLastError);
        EXPECT_EQ(WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0),
                  nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
        BCRYPT_ALG_HANDLE algorithm = nullptr;
        EXPECT_EQ(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
                  static_cast<NTSTATUS>(DllNotFound));
        EXPECT_EQ(algorithm, nullptr);
        BOOL dark = TRUE;
        EXPECT_EQ(DwmSetWindowAttribute(nullptr, 20, &dark, sizeof dark), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
        EXPECT_LT(LresultFromObject(__uuidof(IAccessible), 0, nullptr), 0);
    }
    EXPECT_EQ(GetModuleHandleW(L"winhttp.dll"), nullptr);
}

}  // namespace
