// The four messages through which the install worker reports to the window.
#pragma once

#include <string>

#include <windows.h>

constexpr UINT WM_APP_STATUS = WM_APP + 1;     // lParam: StatusUpdate*, owned by the receiver
constexpr UINT WM_APP_PROGRESS = WM_APP + 2;   // wParam: percent, 0..100
constexpr UINT WM_APP_SUCCEEDED = WM_APP + 3;  // last message of a successful run
constexpr UINT WM_APP_FAILED = WM_APP + 4;     // lParam: std::wstring* error text, owned by the receiver

struct StatusUpdate {
    std::wstring title;
    std::wstring detail;
};

void PostStatus(const std::wstring& title, const std::wstring& detail);
void PostProgress(int percent);
void PostFailure(const std::wstring& text);
void PostSucceeded();
