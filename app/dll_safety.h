// System DLLs from System32 only: the search restriction and the delay-load hooks.
#pragma once

#include <windows.h>

// Makes every LoadLibrary without an explicit path, including the delay-load
// helper's, search System32 only: never the executable's folder (a Downloads
// folder) nor the working directory. False when Windows refused.
bool RestrictDllSearchToSystem32();

// The stand-in bound to a delay-loaded function whose library or entry point is
// missing: it fails the call the way that function reports failure (FALSE or null
// with the last error set, a failing NTSTATUS or HRESULT, a Win32 error code).
// function is null for an import by ordinal. Null for a library without rules,
// in which case the delay-load helper raises its exception.
FARPROC DelayLoadFailureStub(const char* dll, const char* function, bool libraryMissing);

// The libraries that are bound at run time; each has failure rules above.
inline constexpr const char* DelayLoadedDlls[] = {"winhttp.dll", "bcrypt.dll",   "dwmapi.dll",
                                                  "oleacc.dll",  "wintrust.dll", "crypt32.dll"};
