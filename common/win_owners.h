// Every owner of a Windows resource the installer holds: kernel, file, GDI, COM, WinHTTP,
// CNG, WinTrust and certificate handles, and the paired calls (paint, select) that must be undone.
#pragma once

#include <windows.h>
#include <bcrypt.h>
#include <objbase.h>
#include <softpub.h>
#include <wincrypt.h>
#include <winhttp.h>
#include <wintrust.h>

#include <string>

#include "common/owners.h"

// Closes with `Close` and leaves the thread's last error as it was: an owner that ends
// on a failure path must not overwrite the code the failing call left for its caller.
template <auto Close, typename T>
void CloseKeepingLastError(T value) noexcept {
    const DWORD error = GetLastError();
    Close(value);
    SetLastError(error);
}

template <typename T, auto Close>
using UniqueWinHandle = UniqueNullHandle<T, CloseKeepingLastError<Close, T>>;

// Kernel handles whose empty value is null: processes, threads, events.
using UniqueHandle = UniqueWinHandle<HANDLE, CloseHandle>;

// Handles whose empty value is INVALID_HANDLE_VALUE: files, and FindFirstFileW's searches.
template <auto CloseFunction>
struct InvalidHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type value) noexcept { CloseKeepingLastError<CloseFunction>(value); }
};
using UniqueFileHandle = UniqueOwner<InvalidHandleTraits<CloseHandle>>;
using UniqueFindHandle = UniqueOwner<InvalidHandleTraits<FindClose>>;

// Deletes the named file when it ends, unless released: for files that must not
// outlive a failure. It keeps its own copy of the path.
struct FileRemovalTraits {
    using Type = std::wstring;
    static Type Empty() noexcept { return {}; }
    static void Close(const Type& path) noexcept { CloseKeepingLastError<DeleteFileW>(path.c_str()); }
};
using FileRemoval = UniqueOwner<FileRemovalTraits>;

// Pens, brushes, fonts, regions; memory DCs.
using UniqueGdiObject = UniqueWinHandle<HGDIOBJ, DeleteObject>;
using UniqueHfont = UniqueWinHandle<HFONT, DeleteObject>;
using UniqueRegion = UniqueWinHandle<HRGN, DeleteObject>;
using UniqueMemoryDc = UniqueWinHandle<HDC, DeleteDC>;

// Memory the shell or COM hands out with CoTaskMemAlloc.
using UniqueCoTaskMemString = UniqueWinHandle<PWSTR, CoTaskMemFree>;

// One COM interface pointer, released once. `IID_PPV_ARGS(owner.put())` fills it.
template <typename T>
struct ComTraits {
    using Type = T*;
    static constexpr bool Dereferences = true;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type value) noexcept {
        const DWORD error = GetLastError();
        value->Release();
        SetLastError(error);
    }
};
template <typename T>
using ComPtr = UniqueOwner<ComTraits<T>>;

// WinHTTP session, connection and request handles.
using WinHttpHandle = UniqueWinHandle<HINTERNET, WinHttpCloseHandle>;

// CNG's SHA-256 provider that needs no opening, BCRYPT_SHA256_ALG_HANDLE (Windows 10),
// which MinGW's bcrypt.h does not name yet.
inline BCRYPT_ALG_HANDLE Sha256Algorithm() { return reinterpret_cast<BCRYPT_ALG_HANDLE>(0x41); }

// CNG: an algorithm provider and the hash and key objects made from it.
inline void CloseAlgorithmProvider(BCRYPT_ALG_HANDLE provider) { BCryptCloseAlgorithmProvider(provider, 0); }
using UniqueAlgorithmProvider = UniqueWinHandle<BCRYPT_ALG_HANDLE, CloseAlgorithmProvider>;
using UniqueHash = UniqueWinHandle<BCRYPT_HASH_HANDLE, BCryptDestroyHash>;
using UniqueKey = UniqueWinHandle<BCRYPT_KEY_HANDLE, BCryptDestroyKey>;

// The state of a WINTRUST_ACTION_GENERIC_VERIFY_V2 check, ended by a second call with the
// same data and WTD_STATEACTION_CLOSE; the data must outlive its owner.
inline void CloseTrustState(WINTRUST_DATA* data) {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data->dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, data);
}
using TrustState = UniqueWinHandle<WINTRUST_DATA*, CloseTrustState>;

// A certificate chain built by CertGetCertificateChain.
using UniqueCertChain = UniqueWinHandle<PCCERT_CHAIN_CONTEXT, CertFreeCertificateChain>;

// Selects an object into a DC and selects the previous one back when it ends.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// BeginPaint and its EndPaint.
class PaintSession {
public:
    explicit PaintSession(HWND window) noexcept : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintSession() { EndPaint(window_, &paint_); }
    PaintSession(const PaintSession&) = delete;
    PaintSession& operator=(const PaintSession&) = delete;
    HDC dc() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};
