// The windows of a program under test and keys pressed in them.
#include "tests/support/find_window.h"

#include <cwchar>

namespace {

struct TopWindowSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopWindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    wchar_t text[128] = {};
    GetClassNameW(window, text, 128);
    if (search->className && std::wcscmp(text, search->className) != 0) return TRUE;
    InternalGetWindowText(window, text, 128);  // never blocks on a busy thread
    if (search->title && std::wcscmp(text, search->title) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

struct NameBoxSearch {
    HWND dialog;
    HWND found;
};

BOOL CALLBACK MatchNameBox(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<NameBoxSearch*>(param);
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (_wcsicmp(className, L"Edit") != 0 || !IsWindowVisible(child) || !IsWindowEnabled(child)) return TRUE;
    HWND parent = GetParent(child);
    if (GetDlgCtrlID(child) != 0x480 && GetDlgCtrlID(parent) != 0x47c && parent != search->dialog) return TRUE;
    search->found = child;
    return FALSE;
}

}  // namespace

HWND FindTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title) {
    TopWindowSearch search{processId, className, title, nullptr};
    EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindPickerDialog(DWORD processId) { return FindTopWindow(processId, nullptr, L"Choose Kestravon install folder"); }

HWND FindNameBox(HWND dialog) {
    NameBoxSearch search{dialog, nullptr};
    EnumChildWindows(dialog, MatchNameBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PressKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 0x00000001);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}
