// Built like the installer (its entry point and delay-load libraries), this program
// binds every library the installer may bind and checks that each copy came from
// System32 and works. Exit code 0 when all did; otherwise the number of the failed
// check, also written to standard error. crypt32 comes before wintrust, as in an
// installation: Wine resolves wintrust's own import of crypt32 through the
// executable's folder.
#include <windows.h>
#include <bcrypt.h>
#include <dwmapi.h>
#include <softpub.h>
#include <wincrypt.h>
#include <winhttp.h>
#include <oleacc.h>
#include <wintrust.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "common/owners.h"

namespace {

void CloseAlgorithmProvider(BCRYPT_ALG_HANDLE provider) { BCryptCloseAlgorithmProvider(provider, 0); }
using UniqueAlgorithmProvider = UniqueNullHandle<BCRYPT_ALG_HANDLE, CloseAlgorithmProvider>;
using UniqueInternet = UniqueNullHandle<HINTERNET, WinHttpCloseHandle>;

int Fail(int check, const char* what) {
    std::fprintf(stderr, "probe check %d failed: %s\n", check, what);
    return check;
}

// True when the module is loaded and its file lies directly in System32.
bool LoadedFromSystem32(const wchar_t* name) {
    HMODULE module = GetModuleHandleW(name);
    if (!module) return false;
    wchar_t path[MAX_PATH];
    wchar_t system[MAX_PATH];
    const DWORD pathLength = GetModuleFileNameW(module, path, MAX_PATH);
    const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
    if (pathLength == 0 || pathLength >= MAX_PATH || systemLength == 0 || systemLength >= MAX_PATH) return false;
    const std::wstring file(path, pathLength);
    const std::wstring expected = std::wstring(system, systemLength) + L"\\" + name;
    return _wcsicmp(file.c_str(), expected.c_str()) == 0;
}

bool Sha256OfAbcIsRight() {
    static const unsigned char Expected[32] = {
        0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23,
        0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17, 0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
    UniqueAlgorithmProvider algorithm;
    if (BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) return false;
    unsigned char digest[32] = {};
    unsigned char input[] = {'a', 'b', 'c'};
    const NTSTATUS status = BCryptHash(algorithm.get(), nullptr, 0, input, sizeof input, digest, sizeof digest);
    return status >= 0 && std::memcmp(digest, Expected, sizeof digest) == 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    UniqueInternet session(WinHttpOpen(L"probe", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return Fail(1, "WinHttpOpen returned null");
    if (!LoadedFromSystem32(L"winhttp.dll")) return Fail(2, "winhttp.dll is not the System32 copy");

    if (!Sha256OfAbcIsRight()) return Fail(3, "SHA-256 through CNG failed");
    if (!LoadedFromSystem32(L"bcrypt.dll")) return Fail(4, "bcrypt.dll is not the System32 copy");

    // Only the binding matters here; a null window just fails the call.
    DWMNCRENDERINGPOLICY policy = DWMNCRP_USEWINDOWSTYLE;
    DwmSetWindowAttribute(nullptr, DWMWA_NCRENDERING_POLICY, &policy, sizeof policy);
    if (!LoadedFromSystem32(L"dwmapi.dll")) return Fail(5, "dwmapi.dll is not the System32 copy");

    wchar_t role[64] = {};
    if (GetRoleTextW(ROLE_SYSTEM_PUSHBUTTON, role, 64) == 0) return Fail(8, "GetRoleTextW failed");
    if (!LoadedFromSystem32(L"oleacc.dll")) return Fail(9, "oleacc.dll is not the System32 copy");

    // A bare LoadLibrary, as system DLLs do internally, obeys the default directories.
    if (!LoadLibraryW(L"version.dll") || !LoadedFromSystem32(L"version.dll")) {
        return Fail(6, "version.dll is not the System32 copy");
    }
    if (!LoadLibraryW(L"uxtheme.dll") || !LoadedFromSystem32(L"uxtheme.dll")) {
        return Fail(7, "uxtheme.dll is not the System32 copy");
    }

    char base64[8] = {};
    DWORD length = sizeof base64;
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    if (!CryptBinaryToStringA(reinterpret_cast<const BYTE*>("abc"), 3, flags, base64, &length) ||
        std::strcmp(base64, "YWJj") != 0 || !LoadedFromSystem32(L"crypt32.dll")) {
        return Fail(10, "crypt32.dll is not the working System32 copy");
    }
    // This program carries no signature, which the real WinVerifyTrust reports.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    WINTRUST_FILE_INFO file{sizeof(file), self, nullptr, nullptr};
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    if (WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data) != TRUST_E_NOSIGNATURE ||
        !LoadedFromSystem32(L"wintrust.dll")) {
        return Fail(11, "wintrust.dll is not the working System32 copy");
    }
    return 0;
}
