// Posting the worker's messages; a heap payload stays owned here until the post succeeds.
#include "pipeline/messages.h"

#include <memory>

#include "app/state.h"

namespace {

// Hands `payload` to the window's queue; if the post fails the payload is freed here,
// since no receiver will ever see it.
template <typename T>
void PostOwned(UINT message, std::unique_ptr<T> payload) {
    if (PostMessageW(g_state.mainWindow, message, 0, reinterpret_cast<LPARAM>(payload.get()))) {
        static_cast<void>(payload.release());  // the window procedure frees it
    }
}  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks): the posted message owns the payload

}  // namespace

void PostStatus(const std::wstring& title, const std::wstring& detail) {
    PostOwned(WM_APP_STATUS, std::make_unique<StatusUpdate>(StatusUpdate{title, detail}));
}

void PostProgress(int percent) {
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    PostMessageW(g_state.mainWindow, WM_APP_PROGRESS, static_cast<WPARAM>(percent), 0);
}

void PostFailure(const std::wstring& text) {
    PostOwned(WM_APP_FAILED, std::make_unique<std::wstring>(text));
}

void PostSucceeded() {
    PostMessageW(g_state.mainWindow, WM_APP_SUCCEEDED, 0, 0);
}
