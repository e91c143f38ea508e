// For benchmarks that run the worker: the worker's messages taken as a window would.
#pragma once

#include <memory>
#include <string>

#include <windows.h>

#include "pipeline/messages.h"

// Pumps this thread's queue until the worker's final message and returns its text,
// freeing every payload; counts the statuses and percentages on the way.
inline std::wstring WaitForFinalMessage(unsigned& statuses, unsigned& progresses) {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        switch (msg.message) {
        case WM_APP_STATUS:
            delete reinterpret_cast<StatusUpdate*>(msg.lParam);
            ++statuses;
            break;
        case WM_APP_PROGRESS: ++progresses; break;
        case WM_APP_SUCCEEDED: return L"succeeded";
        case WM_APP_FAILED: {
            const std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(msg.lParam));
            return L"failed: " + (text ? *text : std::wstring());
        }
        default: DispatchMessageW(&msg);
        }
    }
    return L"message loop ended";
}
