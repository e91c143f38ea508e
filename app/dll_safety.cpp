// System DLLs from System32 only: the search restriction and the delay-load hooks.
#include "app/dll_safety.h"

#include <delayimp.h>

#include <cstring>
#include <iterator>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// How a function reports failure to its caller.
enum class Failure : unsigned char {
    ZeroWithLastError,  // BOOL FALSE or a null handle, reason in GetLastError
    InvalidCallback,    // WinHttpSetStatusCallback: WINHTTP_INVALID_STATUS_CALLBACK
    NtStatus,           // CNG: any negative NTSTATUS
    HResult,            // any negative HRESULT
};

// Names are held in the rows rather than pointed to, which keeps the tables small and
// free of relocations.
struct LibraryRule {
    char dll[13];
    Failure failure;
};

// Indexes LibraryRules: a function's rule names its library without a name of its own.
enum Library : unsigned char { WinHttp, BCrypt, DwmApi, OleAcc, WinTrust, Crypt32 };

struct FunctionRule {
    Library library;
    Failure failure;
    char function[25];
};

constexpr LibraryRule LibraryRules[] = {
    {"winhttp.dll", Failure::ZeroWithLastError},
    {"bcrypt.dll", Failure::NtStatus},
    {"dwmapi.dll", Failure::HResult},
    {"oleacc.dll", Failure::HResult},  // LresultFromObject's LRESULT too: negative on failure
    {"wintrust.dll", Failure::ZeroWithLastError},  // the WTHelper* functions: null pointers
    {"crypt32.dll", Failure::ZeroWithLastError},
};

// The installer's imports that break their library's usual convention. Only imported
// functions ever reach the hook, so a function added to the installer with a
// convention of its own needs a row here.
constexpr FunctionRule FunctionRules[] = {
    {WinHttp, Failure::InvalidCallback, "WinHttpSetStatusCallback"},
    // A trust verdict: any value but ERROR_SUCCESS refuses the file.
    {WinTrust, Failure::HResult, "WinVerifyTrust"},
};

constexpr LONG StatusDllNotFound = static_cast<LONG>(0xC0000135);
constexpr LONG StatusEntrypointNotFound = static_cast<LONG>(0xC0000139);

// One stand-in per convention and cause. On x64 the caller owns the argument
// area, so a function taking no arguments can stand in for any signature.
template <Failure F, DWORD Error>
INT_PTR WINAPI FailCall() {
    if constexpr (F == Failure::ZeroWithLastError) {
        SetLastError(Error);
        return 0;
    } else if constexpr (F == Failure::InvalidCallback) {
        SetLastError(Error);
        return -1;
    } else if constexpr (F == Failure::NtStatus) {
        return Error == ERROR_MOD_NOT_FOUND ? StatusDllNotFound : StatusEntrypointNotFound;
    } else {
        return HRESULT_FROM_WIN32(Error);
    }
}

template <Failure F>
FARPROC StubFor(bool libraryMissing) {
    return libraryMissing ? &FailCall<F, ERROR_MOD_NOT_FOUND> : &FailCall<F, ERROR_PROC_NOT_FOUND>;
}

bool EqualAsciiNoCase(const char* left, const char* right) {
    for (; *left && *right; ++left, ++right) {
        const char a = (*left >= 'A' && *left <= 'Z') ? static_cast<char>(*left - 'A' + 'a') : *left;
        const char b = (*right >= 'A' && *right <= 'Z') ? static_cast<char>(*right - 'A' + 'a') : *right;
        if (a != b) return false;
    }
    return *left == *right;
}

HMODULE OwnImage() {
    return reinterpret_cast<HMODULE>(&__ImageBase);
}

// Loads each delay-loaded library by its bare name from System32 only, even where
// the default directories could not be set. A library that will not load from
// there binds to this executable, which exports nothing, so every function of it
// ends in the failure hook instead of a LoadLibrary that searches further.
FARPROC WINAPI NotifyDelayLoad(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary) return nullptr;
    HMODULE library = LoadLibraryExA(info->szDll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return reinterpret_cast<FARPROC>(library ? library : OwnImage());
}

FARPROC WINAPI HandleDelayLoadFailure(unsigned notification, PDelayLoadInfo info) {
    if (notification == dliFailLoadLib) return reinterpret_cast<FARPROC>(OwnImage());
    if (notification != dliFailGetProc) return nullptr;
    const char* function = info->dlp.fImportByName ? info->dlp.szProcName : nullptr;
    return DelayLoadFailureStub(info->szDll, function, info->hmodCur == OwnImage());
}

}  // namespace

// The delay-load helper in the MinGW runtime calls through these two pointers;
// defining them here replaces the runtime's empty ones.
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = NotifyDelayLoad;
PfnDliHook __pfnDliFailureHook2 = HandleDelayLoadFailure;
}

bool RestrictDllSearchToSystem32() {
    return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

FARPROC DelayLoadFailureStub(const char* dll, const char* function, bool libraryMissing) {
    if (!dll) return nullptr;
    int library = 0;
    while (library < std::ssize(LibraryRules) && !EqualAsciiNoCase(LibraryRules[library].dll, dll)) ++library;
    if (library == std::ssize(LibraryRules)) return nullptr;
    Failure failure = LibraryRules[library].failure;
    for (const FunctionRule& rule : FunctionRules) {
        if (function && rule.library == library && std::strcmp(rule.function, function) == 0) failure = rule.failure;
    }
    switch (failure) {
    case Failure::ZeroWithLastError: return StubFor<Failure::ZeroWithLastError>(libraryMissing);
    case Failure::InvalidCallback: return StubFor<Failure::InvalidCallback>(libraryMissing);
    case Failure::NtStatus: return StubFor<Failure::NtStatus>(libraryMissing);
    case Failure::HResult: return StubFor<Failure::HResult>(libraryMissing);
    }
    return nullptr;
}
