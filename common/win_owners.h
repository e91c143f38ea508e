// Owners for the Windows handles that several folders use.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "common/owners.h"

// Kernel handles whose empty value is null: processes, threads, events.
using UniqueHandle = UniqueNullHandle<HANDLE, CloseHandle>;

// File handles, whose empty value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type value) noexcept { CloseHandle(value); }
};
using UniqueFileHandle = UniqueOwner<FileHandleTraits>;

// Deletes the named file when it ends, unless released: for files that must not
// outlive a failure. The path string must outlive the owner.
using FileRemoval = UniqueNullHandle<LPCWSTR, DeleteFileW>;

// Pens, brushes, fonts, regions.
using UniqueGdiObject = UniqueNullHandle<HGDIOBJ, DeleteObject>;
using UniqueHfont = UniqueNullHandle<HFONT, DeleteObject>;

// Memory the shell or COM hands out with CoTaskMemAlloc.
using UniqueCoTaskMemString = UniqueNullHandle<PWSTR, CoTaskMemFree>;

// One COM interface pointer, released once.
template <typename T>
struct ComTraits {
    using Type = T*;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type value) noexcept { value->Release(); }
};
template <typename T>
using ComPtr = UniqueOwner<ComTraits<T>>;

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
