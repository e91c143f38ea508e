// A test's helper thread on CreateThread: the win32-thread-model runtime has no std::thread.
#pragma once

#include <functional>

#include "common/win_owners.h"

// Runs a body on its own thread. Unlike std::thread, a thread still running when its owner
// ends is waited for, so a test that returns early never leaves it using the test's locals.
class TestThread {
public:
    // Ends the process if the thread cannot start, as an uncaught std::system_error would.
    explicit TestThread(std::function<void()> body);
    ~TestThread() { join(); }

    // Waits until the body has returned.
    void join() noexcept;
    // Lets the thread run on unowned: for a hung body whose test has failed anyway.
    void detach() noexcept { handle_.reset(); }

private:
    UniqueHandle handle_;
};
