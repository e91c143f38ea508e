/* A DLL planted beside a program under a system DLL's name: when it is loaded it
   leaves a marker named after its own file in %KESTRAVON_PLANT_MARKERS%. */
#include <windows.h>

/* The names a program that plainly imports these libraries binds to. */
__declspec(dllexport) void* WinHttpOpen(void) { return NULL; }
__declspec(dllexport) LONG BCryptOpenAlgorithmProvider(void) { return (LONG)0xC0000001L; }
__declspec(dllexport) LONG DwmSetWindowAttribute(void) { return (LONG)0x80004005L; }
__declspec(dllexport) UINT GetRoleTextW(void) { return 0; }
__declspec(dllexport) LONG WinVerifyTrust(void) { return (LONG)0x80004005L; }
__declspec(dllexport) BOOL CryptBinaryToStringA(void) { return FALSE; }

static void LeaveMarker(HINSTANCE self) {
    WCHAR folder[MAX_PATH];
    WCHAR module[MAX_PATH];
    WCHAR marker[2 * MAX_PATH + 16];
    DWORD length = GetEnvironmentVariableW(L"KESTRAVON_PLANT_MARKERS", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    DWORD moduleLength = GetModuleFileNameW(self, module, MAX_PATH);
    if (moduleLength == 0 || moduleLength >= MAX_PATH) return;
    const WCHAR* name = module;
    for (const WCHAR* p = module; *p; ++p) {
        if (*p == L'\\' || *p == L'/') name = p + 1;
    }
    lstrcpyW(marker, folder);
    lstrcatW(marker, L"\\");
    WCHAR* end = marker + lstrlenW(marker);
    /* The loader keeps the case the importer wrote (WINHTTP.dll); markers are lower case. */
    for (const WCHAR* p = name; *p; ++p) *end++ = (*p >= L'A' && *p <= L'Z') ? (WCHAR)(*p - L'A' + L'a') : *p;
    *end = 0;
    lstrcatW(marker, L".loaded");
    HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, module, moduleLength * (DWORD)sizeof(WCHAR), &written, NULL);
        CloseHandle(file);
    }
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
    return TRUE;
}
