// Worker-to-window messages with a real window and a real worker thread: order, clamping, payload ownership.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "app/state.h"
#include "pipeline/messages.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_thread.h"

// Every C++ allocation of this executable is counted, so a payload that is leaked or freed
// twice shows up as a difference in the live count (the build links the runtime statically,
// so these replace operator new/delete for the installer code as well).
namespace {
std::atomic<long> liveAllocations{0};

void* CountedAllocate(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (block) liveAllocations.fetch_add(1);
    return block;
}

void CountedFree(void* block) {
    if (!block) return;
    liveAllocations.fetch_sub(1);
    std::free(block);
}
}  // namespace

void* operator new(std::size_t size) {
    void* block = CountedAllocate(size);
    if (!block) throw std::bad_alloc();
    return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void operator delete(void* block) noexcept { CountedFree(block); }
void operator delete[](void* block) noexcept { CountedFree(block); }
void operator delete(void* block, std::size_t) noexcept { CountedFree(block); }
void operator delete[](void* block, std::size_t) noexcept { CountedFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { CountedFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { CountedFree(block); }

namespace {

// Long enough that each string's characters live on the heap too, not in the string itself.
const std::wstring LongTitle = L"Downloading Kestravon (a title well past the small-string buffer)";
const std::wstring LongDetail = L"Downloading installation files... and a detail long enough for the heap";
const std::wstring LongFailure = L"The installer download did not match the published checksum, so it was removed.";

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartRecording(recorder)); }
    void TearDown() override {
        StopRecording(recorder);
        g_state.mainWindow = nullptr;
    }

    // Runs `posts` on a real thread while this thread pumps the window's queue.
    std::vector<std::wstring> RunOnWorker(const std::function<void()>& posts) {
        TestThread worker(posts);
        const bool finished = PumpUntilFinal(recorder, 20000);
        worker.join();
        EXPECT_TRUE(finished) << "no final message arrived";
        PumpPending(recorder);  // anything posted after the final message would show up here
        return Describe(recorder.messages);
    }

    MessageRecorder recorder;
};

TEST_F(MessagesTest, CountingAllocatorIsInEffect) {
    const long before = liveAllocations.load();
    auto* probe = new std::wstring(LongTitle);
    EXPECT_GE(liveAllocations.load(), before + 1);
    delete probe;
    EXPECT_EQ(liveAllocations.load(), before);
}

TEST_F(MessagesTest, SuccessfulRunArrivesInPostingOrder) {
    const std::vector<std::wstring> lines = RunOnWorker([] {
        PostStatus(L"Preparing setup", L"Checking installation files...");
        PostProgress(2);
        PostStatus(L"Downloading Kestravon", L"Downloading installation files...");
        for (int percent = 5; percent <= 83; ++percent) PostProgress(percent);
        PostProgress(88);
        PostStatus(L"Installing Kestravon", L"Installing to your selected folder...");
        PostProgress(98);
        PostStatus(L"Finishing setup", L"Almost done...");
        PostProgress(100);
        PostSucceeded();
    });
    std::vector<std::wstring> expected = {
        L"status:Preparing setup|Checking installation files...",
        L"progress:2",
        L"status:Downloading Kestravon|Downloading installation files...",
    };
    for (int percent = 5; percent <= 83; ++percent) expected.push_back(L"progress:" + std::to_wstring(percent));
    expected.insert(expected.end(), {
        L"progress:88",
        L"status:Installing Kestravon|Installing to your selected folder...",
        L"progress:98",
        L"status:Finishing setup|Almost done...",
        L"progress:100",
        L"succeeded",
    });
    EXPECT_EQ(lines, expected);
    for (const RecordedMessage& m : recorder.messages) {
        EXPECT_EQ(m.hadPayload, m.message == WM_APP_STATUS) << "message " << m.message;
    }
}

TEST_F(MessagesTest, FailedRunEndsWithItsTextAndPayload) {
    struct FailureCase {
        std::wstring text;
    };
    for (const FailureCase& row : {FailureCase{LongFailure}, FailureCase{L""}}) {
        recorder.messages.clear();
        const std::vector<std::wstring> lines = RunOnWorker([&row] {
            PostStatus(L"Preparing setup", L"Checking installation files...");
            PostProgress(2);
            PostFailure(row.text);
        });
        const std::vector<std::wstring> expected = {
            L"status:Preparing setup|Checking installation files...",
            L"progress:2",
            L"failed:" + row.text,
        };
        EXPECT_EQ(lines, expected);
        ASSERT_EQ(recorder.messages.size(), 3u);
        EXPECT_TRUE(recorder.messages.back().hadPayload) << "an empty text still travels as a string";
    }
}

TEST_F(MessagesTest, ProgressIsClampedToZeroToHundred) {
    struct ClampCase {
        int given;
        WPARAM posted;
    };
    const std::vector<ClampCase> rows = {
        {-5, 0}, {150, 100}, {100, 100}, {0, 0}, {1, 1}, {99, 99}, {101, 100}, {-1, 0}, {INT_MIN, 0}, {INT_MAX, 100},
    };
    for (const ClampCase& row : rows) PostProgress(row.given);
    PumpPending(recorder);
    ASSERT_EQ(recorder.messages.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(recorder.messages[i].message, WM_APP_PROGRESS);
        EXPECT_EQ(recorder.messages[i].wParam, rows[i].posted) << "given " << rows[i].given;
        EXPECT_FALSE(recorder.messages[i].hadPayload);
    }
}

// The receiver frees each delivered payload once; nothing else may free or keep it.
TEST_F(MessagesTest, DeliveredPayloadsAreFreedExactlyOnce) {
    const long before = liveAllocations.load();
    TestThread worker([] {
        PostStatus(LongTitle, LongDetail);
        PostFailure(LongFailure);
    });
    worker.join();
    EXPECT_GT(liveAllocations.load(), before) << "queued payloads are alive until received";
    ASSERT_TRUE(PumpUntilFinal(recorder, 20000));
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0].title, LongTitle);
    EXPECT_EQ(recorder.messages[1].text, LongFailure);
    std::vector<RecordedMessage>().swap(recorder.messages);  // drop the recorder's own copies
    EXPECT_EQ(liveAllocations.load(), before);
}

// A post to a window that no longer exists fails; the sender must free what it allocated.
TEST_F(MessagesTest, UndeliverablePayloadsAreFreedBySender) {
    HWND gone = recorder.window;
    StopRecording(recorder);
    ASSERT_FALSE(IsWindow(gone));
    g_state.mainWindow = gone;
    const long before = liveAllocations.load();
    TestThread worker([] {
        for (int i = 0; i < 100; ++i) {
            PostStatus(LongTitle, LongDetail);
            PostProgress(i);
            PostFailure(LongFailure);
        }
    });
    worker.join();
    EXPECT_EQ(liveAllocations.load(), before);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_APP_STATUS, WM_APP_FAILED, PM_REMOVE)) << "nothing was queued";
}

}  // namespace
