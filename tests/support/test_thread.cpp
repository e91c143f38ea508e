// A test's helper thread on CreateThread.
#include "tests/support/test_thread.h"

#include <cstdlib>
#include <memory>
#include <utility>

namespace {

DWORD WINAPI RunBody(void* parameter) {
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

}  // namespace

TestThread::TestThread(std::function<void()> body) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    handle_.reset(CreateThread(nullptr, 0, RunBody, owned.get(), 0, nullptr));
    if (!handle_) std::abort();
    static_cast<void>(owned.release());  // the running thread owns it now
}

void TestThread::join() noexcept {
    if (!handle_) return;
    WaitForSingleObject(handle_.get(), INFINITE);
    handle_.reset();
}
