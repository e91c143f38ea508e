// The four messages through which the install worker reports to the window.
#pragma once

#include <string>

#include <windows.h>

// Each carries the run's token in the parameter it does not otherwise use: wParam, but
// lParam for progress. The window takes only messages of its current run.
constexpr UINT WM_APP_STATUS = WM_APP + 1;     // lParam: StatusUpdate*, owned by the receiver
constexpr UINT WM_APP_PROGRESS = WM_APP + 2;   // wParam: percent, 0..100
constexpr UINT WM_APP_SUCCEEDED = WM_APP + 3;  // last message of a successful run
constexpr UINT WM_APP_FAILED = WM_APP + 4;     // lParam: std::wstring* error text, owned by the receiver

struct StatusUpdate {
    std::wstring title;
    std::wstring detail;
};

// Where one run reports. Used by the worker thread only.
struct RunReport {
    HWND window = nullptr;
    UINT_PTR token = 0;    // drawn by the window for this run; never 0
    int lastPercent = -1;  // the percentage last posted: a repeat is not posted again
};

// The run token a worker message carries.
UINT_PTR RunTokenOf(UINT message, WPARAM wParam, LPARAM lParam);

void PostStatus(const RunReport& report, const std::wstring& title, const std::wstring& detail);
// Clamped to 0..100; posted only when it differs from the last one posted.
void PostProgress(RunReport& report, int percent);
// The final messages. They wait out a full queue for as long as the window exists,
// so a run never ends without the window hearing of it.
void PostFailure(const RunReport& report, const std::wstring& text);
void PostSucceeded(const RunReport& report);
// The final message of a run that ended unexpectedly: no payload, since allocating
// one may be what failed.
void PostUnexpectedFailure(const RunReport& report);
