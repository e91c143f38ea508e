// Worker-to-window messages with a real window and a real worker thread: order, clamping,
// payload ownership, run tokens, and final messages that outlast a full queue.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

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

// Wine queues posted messages without limit; Windows refuses a post while 10,000 are
// waiting (ERROR_NOT_ENOUGH_QUOTA). This executable's PostMessageW calls go through a
// stand-in that keeps such a limit (smaller, to keep the test quick) while a test sets
// `queueLimit`.
std::atomic<long> queued{0};
std::atomic<long> queueLimit{0};  // 0: no limit, as under Wine
std::atomic<long> refused{0};

BOOL WINAPI LimitedPostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static const auto post = reinterpret_cast<decltype(&PostMessageW)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "PostMessageW")));
    const long limit = queueLimit.load();
    if (limit != 0 && queued.load() >= limit) {
        ++refused;
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    if (!post(window, message, wParam, lParam)) return FALSE;
    ++queued;
    return TRUE;
}

}  // namespace

// The import slot every PostMessageW call of this executable goes through.
extern "C" {
// NOLINTNEXTLINE(bugprone-reserved-identifier): the linker's name for that slot
decltype(&PostMessageW) __imp_PostMessageW = LimitedPostMessageW;
}

namespace {

// Long enough that each string's characters live on the heap too, not in the string itself.
const std::wstring LongTitle = L"Downloading Kestravon (a title well past the small-string buffer)";
const std::wstring LongDetail = L"Downloading installation files... and a detail long enough for the heap";
const std::wstring LongFailure = L"The installer download did not match the published checksum, so it was removed.";

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartRecording(recorder)); }
    void TearDown() override { StopRecording(recorder); }

    // Runs `posts` on a real thread, with its own copy of the run's report, while this
    // thread pumps the window's queue.
    std::vector<std::wstring> RunOnWorker(const std::function<void(RunReport&)>& posts) {
        TestThread worker([this, &posts] {
            RunReport report = recorder.report;
            posts(report);
        });
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
    const std::vector<std::wstring> lines = RunOnWorker([](RunReport& report) {
        PostStatus(report, L"Preparing setup", L"Checking installation files...");
        PostProgress(report, 2);
        PostStatus(report, L"Downloading Kestravon", L"Downloading installation files...");
        // As a download reports them: once per chunk, so most values come several times.
        for (int percent = 5; percent <= 83; ++percent) {
            for (int chunk = 0; chunk < 3; ++chunk) PostProgress(report, percent);
        }
        PostProgress(report, 88);
        PostStatus(report, L"Installing Kestravon", L"Installing to your selected folder...");
        PostProgress(report, 98);
        PostStatus(report, L"Finishing setup", L"Almost done...");
        PostProgress(report, 100);
        PostSucceeded(report);
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
        EXPECT_EQ(m.token, RecorderToken) << "message " << m.message;
    }
}

TEST_F(MessagesTest, FailedRunEndsWithItsTextAndPayload) {
    struct FailureCase {
        std::wstring text;
    };
    for (const FailureCase& row : {FailureCase{LongFailure}, FailureCase{L""}}) {
        recorder.messages.clear();
        const std::vector<std::wstring> lines = RunOnWorker([&row](RunReport& report) {
            PostStatus(report, L"Preparing setup", L"Checking installation files...");
            PostProgress(report, 2);
            PostFailure(report, row.text);
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

// Clamped, and posted only when the clamped value changes.
TEST_F(MessagesTest, ProgressIsClampedAndPostedOnChange) {
    struct ClampCase {
        int given;
        int posted;  // -1: a repeat, not posted
    };
    const std::vector<ClampCase> rows = {
        {-5, 0},  {150, 100}, {100, -1},  {0, 0},    {1, 1},        {1, -1},
        {99, 99}, {101, 100}, {-1, 0},    {INT_MIN, -1}, {INT_MAX, 100},
    };
    RunReport report = recorder.report;
    std::vector<WPARAM> expected;
    for (const ClampCase& row : rows) {
        PostProgress(report, row.given);
        if (row.posted >= 0) expected.push_back(static_cast<WPARAM>(row.posted));
    }
    PumpPending(recorder);
    std::vector<WPARAM> posted;
    for (const RecordedMessage& m : recorder.messages) {
        EXPECT_EQ(m.message, WM_APP_PROGRESS);
        EXPECT_FALSE(m.hadPayload);
        posted.push_back(m.wParam);
    }
    EXPECT_EQ(posted, expected);
}

// The receiver frees each delivered payload once; nothing else may free or keep it.
TEST_F(MessagesTest, DeliveredPayloadsAreFreedExactlyOnce) {
    const long before = liveAllocations.load();
    TestThread worker([this] {
        PostStatus(recorder.report, LongTitle, LongDetail);
        PostFailure(recorder.report, LongFailure);
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

// A window thread that falls behind while a worker floods its queue: the final message
// waits for room and arrives once the thread pumps again, after everything that fitted.
TEST_F(MessagesTest, FinalMessageOutlastsAFullQueue) {
    constexpr long Limit = 1000;
    constexpr long Flood = Limit + 200;
    queued = 0;
    refused = 0;
    queueLimit = Limit;
    recorder.onMessage = [](const RecordedMessage&) { --queued; };
    std::atomic<bool> finalPosted{false};
    TestThread worker([this, &finalPosted] {
        RunReport report = recorder.report;
        for (int i = 0; i < Flood; ++i) PostProgress(report, 1 + i % 2);
        PostSucceeded(report);
        finalPosted = true;
    });
    // Not pumping until the flood has filled the queue and the final message has been
    // refused a few times.
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (refused.load() < Flood - Limit + 3 && !finalPosted && GetTickCount64() < deadline) Sleep(10);
    EXPECT_FALSE(finalPosted) << "the final message was given up while the queue was full";
    const bool finished = PumpUntilFinal(recorder, 20000);
    worker.join();
    queueLimit = 0;
    ASSERT_TRUE(finished) << "the final message never arrived";
    EXPECT_EQ(recorder.messages.size(), static_cast<std::size_t>(Limit) + 1);
    EXPECT_EQ(recorder.messages.back().message, WM_APP_SUCCEEDED);
}

// A post to a window that no longer exists fails; the sender must free what it allocated.
TEST_F(MessagesTest, UndeliverablePayloadsAreFreedBySender) {
    RunReport report = recorder.report;
    StopRecording(recorder);
    ASSERT_FALSE(IsWindow(report.window));
    const long before = liveAllocations.load();
    TestThread worker([&report] {
        for (int i = 0; i < 100; ++i) {
            PostStatus(report, LongTitle, LongDetail);
            PostProgress(report, i);
            PostFailure(report, LongFailure);
        }
    });
    worker.join();
    EXPECT_EQ(liveAllocations.load(), before);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_APP_STATUS, WM_APP_FAILED, PM_REMOVE)) << "nothing was queued";
}

}  // namespace
