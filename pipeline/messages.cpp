// Posting the worker's messages; a heap payload stays owned here until the post succeeds.
#include "pipeline/messages.h"

#include <memory>

namespace {

// Between attempts to post a final message into a full queue.
constexpr DWORD FinalRetryMilliseconds = 50;

// A window thread that falls behind (its queue holds 10,000 posts at most) must still
// learn how the run ended, or it would show "Installing..." forever with close refused.
bool PostFinal(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (;;) {
        if (PostMessageW(window, message, wParam, lParam)) return true;
        if (!IsWindow(window)) return false;
        Sleep(FinalRetryMilliseconds);
    }
}

// Hands `payload` to the window's queue; if the post fails the payload is freed here,
// since no receiver will ever see it.
template <typename T>
void PostOwned(const RunReport& report, UINT message, std::unique_ptr<T> payload, bool final) {
    const auto lParam = reinterpret_cast<LPARAM>(payload.get());
    const bool posted = final ? PostFinal(report.window, message, report.token, lParam)
                              : PostMessageW(report.window, message, report.token, lParam) != FALSE;
    if (posted) static_cast<void>(payload.release());  // the window procedure frees it
}  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks): the posted message owns the payload

}  // namespace

UINT_PTR RunTokenOf(UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_APP_PROGRESS ? static_cast<UINT_PTR>(lParam) : static_cast<UINT_PTR>(wParam);
}

void PostStatus(const RunReport& report, const std::wstring& title, const std::wstring& detail) {
    PostOwned(report, WM_APP_STATUS, std::make_unique<StatusUpdate>(StatusUpdate{title, detail}), false);
}

void PostProgress(RunReport& report, int percent) {
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    if (percent == report.lastPercent) return;
    if (PostMessageW(report.window, WM_APP_PROGRESS, static_cast<WPARAM>(percent),
                     static_cast<LPARAM>(report.token))) {
        report.lastPercent = percent;
    }
}

void PostFailure(const RunReport& report, const std::wstring& text) {
    PostOwned(report, WM_APP_FAILED, std::make_unique<std::wstring>(text), true);
}

void PostSucceeded(const RunReport& report) { PostFinal(report.window, WM_APP_SUCCEEDED, report.token, 0); }

void PostUnexpectedFailure(const RunReport& report) { PostFinal(report.window, WM_APP_FAILED, report.token, 0); }
