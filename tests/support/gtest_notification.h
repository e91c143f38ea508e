// GoogleTest's Notification on a Win32 event, forced into every GoogleTest compile on Windows.
#pragma once

#include <windows.h>

// GoogleTest builds its own on std::mutex and std::condition_variable, which GCC 12's
// win32-thread-model libstdc++ lacks; GTEST_HAS_NOTIFICATION_ is its hook for another.
namespace testing::internal {

class Notification {
public:
    Notification() noexcept : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() noexcept { SetEvent(event_); }
    void WaitForNotification() noexcept { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace testing::internal
