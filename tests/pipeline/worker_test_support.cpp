// Shared pieces of the worker tests.
#include "tests/pipeline/worker_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>
#include <bcrypt.h>

#include "net/download.h"
#include "pipeline/messages.h"
#include "tests/net/service_client.h"
#include "tests/support/environment.h"
#include "tests/support/test_thread.h"

const std::wstring Checking = L"status:Preparing setup|Checking installation files...";
const std::wstring Downloading = L"status:Downloading Kestravon|Downloading installation files...";
const std::wstring Installing = L"status:Installing Kestravon|Installing to your selected folder...";
const std::wstring Finishing = L"status:Finishing setup|Almost done...";
const char ManifestPath[] = "/api/v1/launcher/installer/windows-x86_64";

namespace {

constexpr DWORD RunTimeoutMs = 120000;

bool IsPercent(const std::wstring& line) { return line.rfind(L"progress:", 0) == 0; }
unsigned Percent(const std::wstring& line) { return static_cast<unsigned>(std::stoul(line.substr(9))); }

}  // namespace

std::string ManifestJson(const std::string& url, const std::string& sha256, std::uint64_t size) {
    return "{\"url\":\"" + url + "\",\"sha256\":\"" + sha256 + "\",\"version\":\"2.4.1\",\"size\":" +
           std::to_string(size) + "}";
}

std::string Narrow(const std::wstring& ascii) {
    std::string text;
    for (const wchar_t c : ascii) text.push_back(static_cast<char>(c));
    return text;
}

ServedSetup ServeStandin(const std::wstring& name) {
    ServedSetup served;
    const std::string bytes = ReadWholeFile(StandinPath(name));
    EXPECT_FALSE(bytes.empty()) << "build the kestravon_standins target";
    EXPECT_TRUE(WriteServedFile(name, bytes));
    served.url = "https://kestravon.test/files/" + Narrow(name);
    served.sha256 = Sha256Hex(bytes);
    served.size = bytes.size();
    EXPECT_EQ(served.sha256.size(), 64u);
    return served;
}

bool IsFinal(const std::wstring& line) { return line == L"succeeded" || line.rfind(L"failed:", 0) == 0; }

std::vector<unsigned> TakeChunkPercents(std::vector<std::wstring>& lines) {
    std::vector<unsigned> percents;
    const auto five = std::find(lines.begin(), lines.end(), L"progress:5");
    if (five == lines.end()) return percents;
    auto end = five + 1;
    while (end != lines.end() && IsPercent(*end) && Percent(*end) >= 5 && Percent(*end) <= 83) {
        percents.push_back(Percent(*end));
        ++end;
    }
    lines.erase(five + 1, end);
    return percents;
}

std::vector<std::wstring> RunOnWorkerThread(MessageRecorder& recorder, const std::function<void()>& worker,
                                            bool payloadlessFailureAllowed) {
    TestThread thread(worker);
    if (!PumpUntilFinal(recorder, RunTimeoutMs)) {
        thread.detach();  // hung: the test fails and the ctest time-out ends the process
        ADD_FAILURE() << "no final message within " << RunTimeoutMs << " ms";
        return Describe(recorder.messages);
    }
    thread.join();
    PumpPending(recorder);
    std::vector<std::wstring> lines = Describe(recorder.messages);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsFinal), 1) << testing::PrintToString(lines);
    EXPECT_TRUE(!lines.empty() && IsFinal(lines.back())) << testing::PrintToString(lines);
    for (const RecordedMessage& m : recorder.messages) {
        const bool payloadOptional = payloadlessFailureAllowed && m.message == WM_APP_FAILED;
        if ((m.message == WM_APP_STATUS || m.message == WM_APP_FAILED) && !payloadOptional) {
            EXPECT_TRUE(m.hadPayload) << testing::PrintToString(lines);
        }
    }
    return lines;
}
