// The worker when memory runs out: every allocation point of a whole installation made to
// fail in turn. Any run must still end with one final failure, posted last, and never
// leave the downloaded file behind. A test exe of its own, since it replaces operator new.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include <windows.h>

#include "pipeline/worker.h"
#include "setup/locations.h"
#include "tests/net/service_client.h"
#include "tests/pipeline/worker_test_support.h"
#include "tests/support/files.h"
#include "tests/support/message_recorder.h"

namespace {

// Allocations this thread may still make before the next one fails; -1: no limit.
// Only the worker's thread sets it, so the test's own bookkeeping is never refused.
thread_local long t_allocationsLeft = -1;
// Memory exhausted for good (every later allocation fails too), or one refusal only.
thread_local bool t_exhaustedForGood = true;
thread_local bool t_refused = false;

}  // namespace

void* operator new(std::size_t size) {
    if (t_allocationsLeft == 0) {
        t_refused = true;
        if (!t_exhaustedForGood) t_allocationsLeft = -1;
        throw std::bad_alloc();
    }
    if (t_allocationsLeft > 0) --t_allocationsLeft;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// libstdc++'s own operator new[] comes here, and its operator delete frees with free().

namespace {

constexpr long MaxAllocationPoints = 1000;

// Normalised lines of a run: the per-chunk percentages out, the final message apart.
struct Outcome {
    std::vector<std::wstring> steps;
    std::wstring final;
};

Outcome Split(std::vector<std::wstring> lines) {
    TakeChunkPercents(lines);
    Outcome outcome;
    if (!lines.empty() && IsFinal(lines.back())) {
        outcome.final = lines.back();
        lines.pop_back();
    }
    outcome.steps = lines;
    return outcome;
}

bool IsPrefix(const std::vector<std::wstring>& part, const std::vector<std::wstring>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

class InstallWorkerAllocationTest : public testing::TestWithParam<bool> {};

TEST_P(InstallWorkerAllocationTest, EveryRefusedAllocationEndsTheRunCleanly) {
    const bool forGood = GetParam();
    ASSERT_FALSE(ServiceDir().empty()) << "run through tests/harness/netns-run.sh";
    MessageRecorder recorder;
    ASSERT_TRUE(StartRecording(recorder));
    const std::wstring tempInstaller = TempInstallerPath();
    ScratchFolder scratch(L"kestravon worker alloc");
    const std::wstring installFolder = scratch.path + L"\\Kestravon App";
    const ServedSetup setup = ServeStandin(L"kestravon-setup.exe");
    ASSERT_TRUE(WriteManifest(ManifestJson(setup.url, setup.sha256, setup.size)));
    const std::vector<std::wstring> complete = {Checking,      L"progress:2", Downloading, L"progress:5",
                                                L"progress:88", Installing,   L"progress:98", Finishing,
                                                L"progress:100"};

    long points = 0;
    int withoutPayload = 0;  // runs ended by the worker's last-resort failure
    for (bool refusedOne = true; refusedOne && points <= MaxAllocationPoints; ++points) {
        SCOPED_TRACE("allocations allowed: " + std::to_string(points));
        recorder.messages.clear();
        std::atomic<bool> refused{false};
        const std::vector<std::wstring> lines = RunOnWorkerThread(
            recorder,
            [&] {
                auto* run = new InstallRun{installFolder, recorder.report};
                t_exhaustedForGood = forGood;
                t_allocationsLeft = points;
                InstallWorker(run);
                refused = t_refused;
                t_allocationsLeft = -1;
            },
            true);
        refusedOne = refused;
        if (refusedOne && !recorder.messages.empty() && !recorder.messages.back().hadPayload) ++withoutPayload;
        const Outcome outcome = Split(lines);
        EXPECT_TRUE(IsPrefix(outcome.steps, complete)) << testing::PrintToString(lines);
        EXPECT_FALSE(FileExists(tempInstaller));
        if (refusedOne) {
            EXPECT_EQ(outcome.final.rfind(L"failed:", 0), 0u) << testing::PrintToString(lines);
        } else {
            EXPECT_EQ(outcome.steps, complete);
            EXPECT_EQ(outcome.final, L"succeeded");
        }
        if (testing::Test::HasFailure()) break;
    }
    EXPECT_LE(points, MaxAllocationPoints) << "the run never completed";
    // Far more than one point: a sweep that stopped early tested nothing.
    EXPECT_GT(points, 20);
    EXPECT_GT(withoutPayload, 0);
    std::printf("allocation points swept: %ld, ended without a payload: %d\n", points, withoutPayload);
    StopRecording(recorder);
}

INSTANTIATE_TEST_SUITE_P(Memory, InstallWorkerAllocationTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "ExhaustedForGood" : "OneAllocationRefused";
                         });

}  // namespace
