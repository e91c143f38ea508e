// What the installer must not be: a program that imports winhttp, bcrypt, dwmapi, oleacc,
// wintrust and crypt32 the plain way and loads version and uxtheme by bare name. Beside planted DLLs it
// loads them, which shows that the planting test can see a planted DLL at all.
#include <windows.h>
#include <bcrypt.h>
#include <dwmapi.h>
#include <wincrypt.h>
#include <winhttp.h>
#include <oleacc.h>
#include <wintrust.h>

int wmain() {
    // Only functions the planted DLL also exports, so that the process starts
    // whichever copy the loader picks; the handles are left to process exit.
    WinHttpOpen(L"control", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    DWMNCRENDERINGPOLICY policy = DWMNCRP_USEWINDOWSTYLE;
    DwmSetWindowAttribute(nullptr, DWMWA_NCRENDERING_POLICY, &policy, sizeof policy);
    GetRoleTextW(ROLE_SYSTEM_CLIENT, nullptr, 0);
    WINTRUST_DATA data{};  // cbStruct 0: refused without looking further
    GUID action{};
    WinVerifyTrust(nullptr, &action, &data);
    DWORD length = 0;
    CryptBinaryToStringA(nullptr, 0, CRYPT_STRING_BASE64, nullptr, &length);
    LoadLibraryW(L"version.dll");
    LoadLibraryW(L"uxtheme.dll");
    return 0;
}
