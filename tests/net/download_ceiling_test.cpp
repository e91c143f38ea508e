// The 350 MiB ceiling of DownloadInstaller, streamed for real through loopback TLS:
// exactly the ceiling passes, one byte more is refused and leaves no file.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/win_owners.h"
#include "net/download.h"
#include "net/progress.h"
#include "tests/net/service_client.h"
#include "tests/support/files.h"

namespace {

std::wstring InstallerPath() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"KestravonSetup-ceiling-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
}

TEST(DownloadCeiling, ExactlyTheCeilingWithContentLength) {
    ASSERT_FALSE(ServiceDir().empty()) << "run through tests/harness/netns-run.sh";
    const std::string sha = BodySha256(MaxInstallerBytes, 9);
    ASSERT_EQ(sha.size(), 64u);
    const std::wstring path = InstallerPath();
    ErrorText errorText;
    UniqueFileHandle verified;
    EXPECT_TRUE(DownloadInstaller(BodyUrl(MaxInstallerBytes, 9, L"&chunk=131072"), sha, path, MaxInstallerBytes,
                                  DownloadProgress{}, verified, errorText))
        << errorText.sentence;
    EXPECT_TRUE(verified);
    EXPECT_EQ(FileSize(path), static_cast<long long>(MaxInstallerBytes));
    verified.reset();
    DeleteFileW(path.c_str());
}

TEST(DownloadCeiling, OneByteMoreWithoutContentLength) {
    const std::wstring path = InstallerPath();
    ErrorText errorText;
    UniqueFileHandle verified;
    EXPECT_FALSE(DownloadInstaller(BodyUrl(MaxInstallerBytes + 1, 9, L"&cl=none&chunk=131072"),
                                   std::string(64, '0'), path, 0, DownloadProgress{}, verified, errorText));
    EXPECT_FALSE(verified);
    EXPECT_EQ(errorText.sentence, L"The installer exceeded the allowed size.");
    EXPECT_EQ(FileSize(path), -1);
}

TEST(DownloadCeiling, OneByteMoreAnnouncedIsRefusedBeforeStreaming) {
    const std::wstring path = InstallerPath();
    ErrorText errorText;
    const ULONGLONG start = GetTickCount64();
    UniqueFileHandle verified;
    EXPECT_FALSE(DownloadInstaller(BodyUrl(MaxInstallerBytes + 1, 9), std::string(64, '0'), path, 0,
                                   DownloadProgress{}, verified, errorText));
    EXPECT_EQ(errorText.sentence, L"The installer is unexpectedly large.");
    EXPECT_EQ(FileSize(path), -1);
    RecordProperty("refusal_ms", static_cast<int>(GetTickCount64() - start));
}

}  // namespace
