// The install worker on its own thread against the test release service, the real NSIS
// setups and Wine's file system: every message it posts, in order, and what it leaves on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <windows.h>

#include "common/win_owners.h"
#include "pipeline/messages.h"
#include "pipeline/worker.h"
#include "release_trust.h"  // the test pins (tests/setup/standins)
#include "common/win_owners.h"
#include "setup/locations.h"
#include "setup/setup_publisher.h"
#include "tests/net/service_client.h"
#include "tests/pipeline/worker_test_support.h"
#include "tests/support/environment.h"
#include "tests/support/message_recorder.h"

namespace {

// What a run that installs posts, once the download's own percentages are taken out.
const std::vector<std::wstring> CompleteRun = {Checking,      L"progress:2",  Downloading, L"progress:5",
                                               L"progress:88", Installing,    L"progress:98", Finishing,
                                               L"progress:100", L"succeeded"};

const std::wstring Unavailable = L"failed:Installation files are temporarily unavailable.";
const std::wstring NoTempFolder = L"failed:Windows temporary folder is unavailable.";
const std::wstring UrlMismatch = L"failed:The installer URL did not match kestravon.test.";
const std::wstring DigestMismatch = L"failed:Security check failed: installer SHA-256 did not match.";
const std::wstring SizeMismatch = L"failed:Installer size did not match the published release.";
const std::wstring SetupFailed = L"failed:Setup stopped with code 3.";
const std::wstring CannotStart = L"failed:Could not start the Kestravon installer.";
const std::wstring CannotSave = L"failed:Could not save the installer to disk.";
const std::wstring NotSigned = L"failed:Security check failed: release manifest is not signed.";
const std::wstring SignatureMismatch = L"failed:Security check failed: release manifest signature did not match.";
const std::wstring WrongPublisher =
    L"failed:Security check failed: installer is not signed by Kestravon Test Publisher.";
const std::wstring Expired = L"failed:Security check failed: release manifest has expired.";
const std::wstring Older = L"failed:Security check failed: release manifest is older than this installer.";
const char SignaturePath[] = "/api/v1/launcher/installer/windows-x86_64.sig";
// The test pins: two release keys, serial 5 or later, the test publisher from the test code CA.
const ReleasePins AllPinned = KESTRAVON_RELEASE_PINS;
const ReleasePins PublisherPinned{{}, 1, AllPinned.setupSigner};
const ReleasePins NameOnly{{}, 1, {AllPinned.setupSigner.publisher}};
// Both release keys must sign.
const ReleasePins TwoKeysMustSign{{AllPinned.releaseKeys.points, 2, 2}, 5, AllPinned.setupSigner};

// A file of the signed test release (tests/setup/standins/sign-test-release.py).
std::string SignedRelease(const std::wstring& name) { return ReadWholeFile(StandinPath(L"signed-release\\" + name)); }

// Runs hold_probe.exe in its probe role against `file` from a process of its own and
// returns its report ("write=<error> rename=<error> delete=<error> read=<error>").
std::string ProbeFromAnotherProcess(const std::wstring& probe, const std::wstring& file,
                                    const std::wstring& report) {
    DeleteFileW(report.c_str());
    std::wstring commandLine = L"\"" + probe + L"\" probe \"" + file + L"\" \"" + report + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(probe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
        return "probe not started";
    }
    CloseHandle(info.hThread);
    const bool ended = WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0;
    CloseHandle(info.hProcess);
    return ended ? ReadWholeFile(report) : "probe did not end";
}

class InstallWorkerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ServiceDir().empty()) << "run through tests/harness/netns-run.sh";
        ASSERT_TRUE(StartRecording(recorder_));
        tempInstaller_ = TempInstallerPath();
        ASSERT_FALSE(tempInstaller_.empty());
        DeleteFileW(tempInstaller_.c_str());
        // Spaces in the folder: /D= takes it unquoted to the end of the line.
        installFolder_ = scratch_.path + L"\\Kestravon App";
        ClearRecordedRequests();
    }
    void TearDown() override {
        recorder_.onMessage = nullptr;
        StopRecording(recorder_);
        DeleteFileW(tempInstaller_.c_str());
    }

    std::vector<std::wstring> RunWorker(const ReleasePins& pins = {}) {
        const std::wstring folder = installFolder_;
        const RunReport report = recorder_.report;
        return RunOnWorkerThread(recorder_,
                                 [folder, report, pins] { InstallWorker(new InstallRun{folder, report, pins}); });
    }

    // Notes whether the downloaded file exists as each message of `message` and `percent` arrives.
    void WatchFileOn(UINT message, WPARAM percent, std::vector<bool>& existed) {
        recorder_.onMessage = [this, message, percent, &existed](const RecordedMessage& m) {
            if (m.message == message && (message != WM_APP_PROGRESS || m.wParam == percent)) {
                existed.push_back(FileExists(tempInstaller_));
            }
        };
    }

    std::vector<std::string> RequestPaths() {
        std::vector<std::string> paths;
        for (const ServiceRequest& request : RecordedRequests()) paths.push_back(request.path);
        return paths;
    }

    bool Installed() const { return FileExists(installFolder_ + L"\\kestravon.exe"); }

    MessageRecorder recorder_;
    ScratchFolder scratch_{L"kestravon worker"};
    std::wstring installFolder_;
    std::wstring tempInstaller_;
};

// The real setup, with the size published and with size 0: then the bar follows the
// response's Content-Length, so the same messages arrive.
TEST_F(InstallWorkerTest, InstallsWithTheRealSetup) {
    for (const bool publishSize : {true, false}) {
        SCOPED_TRACE(publishSize ? "size published" : "size 0");
        recorder_.messages.clear();
        ClearRecordedRequests();
        installFolder_ = scratch_.path + (publishSize ? L"\\Kestravon App" : L"\\Kestravon App 2");
        const ServedSetup setup = ServeStandin(L"kestravon-setup.exe");
        ASSERT_TRUE(WriteManifest(ManifestJson(setup.url, setup.sha256, publishSize ? setup.size : 0)));
        std::vector<bool> existedAt98;
        WatchFileOn(WM_APP_PROGRESS, 98, existedAt98);

        std::vector<std::wstring> lines = RunWorker();
        const std::vector<unsigned> chunks = TakeChunkPercents(lines);
        EXPECT_EQ(lines, CompleteRun);
        ASSERT_FALSE(chunks.empty());
        EXPECT_TRUE(std::is_sorted(chunks.begin(), chunks.end())) << testing::PrintToString(chunks);
        EXPECT_EQ(chunks.back(), 83u);
        EXPECT_EQ(existedAt98, std::vector<bool>{false});
        EXPECT_TRUE(Installed());
        // The setup that ran was the downloaded file (NSIS keeps its command line up to /D=).
        EXPECT_EQ(ReadUtf16File(installFolder_ + L"\\setup-commandline.txt"), L"\"" + tempInstaller_ + L"\" /S");
        EXPECT_FALSE(FileExists(tempInstaller_));
        const std::vector<std::string> requests = {ManifestPath, "/files/kestravon-setup.exe"};
        EXPECT_EQ(RequestPaths(), requests);
    }
}

// Exactly three messages when the manifest cannot be fetched; no download is tried.
TEST_F(InstallWorkerTest, ManifestFetchFailure) {
    struct Row {
        const char* name;
        bool writeManifest;
        std::string manifest;
        std::wstring failure;
    };
    const Row rows[] = {
        {"no manifest", false, "", L"failed:Kestravon server returned HTTP 404."},
        {"over 1 MiB", true, std::string(1048577, ' '), L"failed:Kestravon manifest is unexpectedly large."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        recorder_.messages.clear();
        ClearRecordedRequests();
        DeleteFileW((ServiceDir() + L"\\manifest.json").c_str());
        if (row.writeManifest) {
            ASSERT_TRUE(WriteManifest(row.manifest));
        }
        const std::vector<std::wstring> expected = {Checking, L"progress:2", row.failure};
        EXPECT_EQ(RunWorker(), expected);
        EXPECT_EQ(RequestPaths(), std::vector<std::string>{ManifestPath});
    }
}

TEST_F(InstallWorkerTest, RejectedManifest) {
    const std::string url = "https://kestravon.test/files/kestravon-setup.exe";
    const std::string sha256(64, 'a');
    struct Row {
        const char* name;
        std::string manifest;
    };
    const Row rows[] = {
        {"no url", "{\"sha256\":\"" + sha256 + "\",\"version\":\"2.4.1\",\"size\":10}"},
        {"empty url", ManifestJson("", sha256, 10)},
        {"sha256 of 63 digits", ManifestJson(url, sha256.substr(1), 10)},
        {"sha256 of 65 digits", ManifestJson(url, sha256 + "a", 10)},
        {"sha256 not hexadecimal", ManifestJson(url, std::string(63, 'a') + "g", 10)},
        {"no version", "{\"url\":\"" + url + "\",\"sha256\":\"" + sha256 + "\",\"size\":10}"},
        {"empty version", "{\"url\":\"" + url + "\",\"sha256\":\"" + sha256 + "\",\"version\":\"\"}"},
        {"empty body", ""},
        {"not JSON", "<html>maintenance</html>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        recorder_.messages.clear();
        ClearRecordedRequests();
        ASSERT_TRUE(WriteManifest(row.manifest));
        const std::vector<std::wstring> expected = {Checking, L"progress:2", Unavailable};
        EXPECT_EQ(RunWorker(), expected);
        EXPECT_EQ(RequestPaths(), std::vector<std::string>{ManifestPath});
    }
}

// A temporary folder longer than GetTempPathW's 260 characters: the Downloading status is
// already out, and the file at the usual temporary path is not touched.
TEST_F(InstallWorkerTest, NoTemporaryFolder) {
    ASSERT_TRUE(WriteManifest(ManifestJson("https://kestravon.test/files/kestravon-setup.exe", std::string(64, 'a'), 10)));
    ASSERT_TRUE(WriteSentinel(tempInstaller_));
    const std::wstring longFolder = L"C:\\" + std::wstring(300, L'k');
    std::vector<std::wstring> lines;
    {
        ScopedEnvironment tmp(L"TMP", longFolder);
        ScopedEnvironment temp(L"TEMP", longFolder);
        ScopedEnvironment profile(L"USERPROFILE", longFolder);
        ASSERT_EQ(TempInstallerPath(), L"");
        lines = RunWorker();
    }
    const std::vector<std::wstring> expected = {Checking, L"progress:2", Downloading, NoTempFolder};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(ReadWholeFile(tempInstaller_), "sentinel");
    EXPECT_EQ(RequestPaths(), std::vector<std::string>{ManifestPath});
}

// A file left at the temporary path by an earlier run is gone even when the download is
// refused before any request, and already gone when the failure arrives.
TEST_F(InstallWorkerTest, LeftoverFileRemovedWhenTheDownloadFailsAtOnce) {
    struct Row {
        const char* url;
        std::wstring failure;
    };
    const Row rows[] = {
        {"https://evil.test/files/kestravon-setup.exe", UrlMismatch},
        {"http://kestravon.test/files/kestravon-setup.exe", UrlMismatch},
        {"https://kestravon.test.evil.test/files/kestravon-setup.exe", UrlMismatch},
        // Not UTF-8: the URL converts to nothing, which the download refuses like a foreign host.
        {"https://kestravon.test/files/\xC0\xAF.exe", UrlMismatch},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        recorder_.messages.clear();
        ClearRecordedRequests();
        ASSERT_TRUE(WriteManifest(ManifestJson(row.url, std::string(64, 'a'), 10)));
        ASSERT_TRUE(WriteSentinel(tempInstaller_));
        std::vector<bool> existedAtFailure;
        WatchFileOn(WM_APP_FAILED, 0, existedAtFailure);
        const std::vector<std::wstring> expected = {Checking, L"progress:2", Downloading, row.failure};
        EXPECT_EQ(RunWorker(), expected);
        EXPECT_EQ(existedAtFailure, std::vector<bool>{false});
        EXPECT_FALSE(FileExists(tempInstaller_));
        EXPECT_EQ(RequestPaths(), std::vector<std::string>{ManifestPath});
    }
}

// Before its download a run deletes the setup files of ended runs; one held open as a running
// installer holds it, one named for a running process and two that are no installer's (one
// with a leading zero, which no installer writes) stay.
TEST_F(InstallWorkerTest, SweepsOnlyTheSetupFilesOfEndedRuns) {
    ASSERT_TRUE(WriteManifest(ManifestJson("https://evil.test/files/kestravon-setup.exe", std::string(64, 'a'), 10)));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};  // a running process other than this one, started suspended
    ASSERT_TRUE(CreateProcessW(BuildTreePath(L"tests/pipeline/hold_probe.exe").c_str(), nullptr, nullptr, nullptr,
                               FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup, &info));
    const UniqueHandle running(info.hProcess), thread(info.hThread);
    const std::wstring prefix = tempInstaller_.substr(0, tempInstaller_.rfind(L'-') + 1);
    const std::vector<std::wstring> files = {prefix + L"1234.exe", prefix + L"1238.exe", prefix + L"2.4.1.exe",
                                             prefix + std::to_wstring(info.dwProcessId) + L".exe",
                                             prefix + L"01234.exe"};
    for (const std::wstring& file : files) ASSERT_TRUE(WriteSentinel(file));
    UniqueFileHandle holder(
        CreateFileW(files[1].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(RunWorker(), (std::vector<std::wstring>{Checking, L"progress:2", Downloading, UrlMismatch}));
    holder.reset();  // a delete left pending would take the file now
    const std::vector<bool> kept = {FileExists(files[0]), FileExists(files[1]), FileExists(files[2]),
                                    FileExists(files[3]), FileExists(files[4])};
    EXPECT_EQ(kept, (std::vector<bool>{false, true, true, true, true})) << "stale, held, not ours, running, zero";
    TerminateProcess(running.get(), 0);
}

// A folder in the way of the temporary file: the download cannot create its file, and it
// removes nothing that it did not create.
TEST_F(InstallWorkerTest, FolderAtTheTemporaryPath) {
    const ServedSetup setup = ServeStandin(L"kestravon-setup.exe");
    ASSERT_TRUE(WriteManifest(ManifestJson(setup.url, setup.sha256, setup.size)));
    ASSERT_TRUE(CreateFolder(tempInstaller_));
    const std::vector<std::wstring> expected = {Checking, L"progress:2", Downloading,
                                                L"failed:Could not create the temporary installer file."};
    EXPECT_EQ(RunWorker(), expected);
    EXPECT_EQ(QueryPathType(tempInstaller_).type, PathType::Directory);
    RemoveDirectoryW(tempInstaller_.c_str());
    EXPECT_FALSE(Installed());
}

// The real setup with a wrong digest or size: refused after the whole download, the file is
// gone, and the setup never ran (it would have installed kestravon.exe).
TEST_F(InstallWorkerTest, VerificationFailureNeverStartsTheSetup) {
    const ServedSetup setup = ServeStandin(L"kestravon-setup.exe");
    const std::string& sha256 = setup.sha256;
    const std::uint64_t size = setup.size;
    std::string wrongSha256 = sha256;
    wrongSha256[0] = wrongSha256[0] == '0' ? '1' : '0';
    struct Row {
        const char* name;
        std::string sha256;
        std::uint64_t size;
        std::wstring failure;
    };
    const Row rows[] = {
        {"digest", wrongSha256, size, DigestMismatch},
        {"digest and size", wrongSha256, size + 1, DigestMismatch},
        {"size", sha256, size - 1, SizeMismatch},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        recorder_.messages.clear();
        ASSERT_TRUE(WriteManifest(ManifestJson(setup.url, row.sha256, row.size)));
        std::vector<bool> existedAtFailure;
        WatchFileOn(WM_APP_FAILED, 0, existedAtFailure);
        std::vector<std::wstring> lines = RunWorker();
        TakeChunkPercents(lines);
        const std::vector<std::wstring> expected = {Checking, L"progress:2", Downloading, L"progress:5", row.failure};
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(existedAtFailure, std::vector<bool>{false});
        EXPECT_FALSE(FileExists(tempInstaller_));
        EXPECT_FALSE(Installed());
    }
}

// A setup that exits with 3: the failure carries its code, and the downloaded file is
// already deleted when the window receives it.
TEST_F(InstallWorkerTest, SetupExitingNonZero) {
    const ServedSetup setup = ServeStandin(L"kestravon-setup-fails.exe");
    ASSERT_TRUE(WriteManifest(ManifestJson(setup.url, setup.sha256, setup.size)));
    std::vector<bool> existedAtFailure;
    WatchFileOn(WM_APP_FAILED, 0, existedAtFailure);

    std::vector<std::wstring> lines = RunWorker();
    const std::vector<unsigned> chunks = TakeChunkPercents(lines);
    const std::vector<std::wstring> expected = {Checking,    L"progress:2", Downloading, L"progress:5",
                                                L"progress:88", Installing,   SetupFailed};
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(!chunks.empty() && chunks.back() == 83u) << testing::PrintToString(chunks);
    EXPECT_EQ(existedAtFailure, std::vector<bool>{false});
    EXPECT_FALSE(FileExists(tempInstaller_));
    EXPECT_FALSE(Installed());
}

// Neither a size in the manifest nor a Content-Length: the bar stays at 5 until 88. The body
// is the service's pattern, which passes the digest check but is no program, so the run ends
// at the setup step with the file deleted.
TEST_F(InstallWorkerTest, NoLengthKeepsTheBarAtFiveUntilTheDownloadEnds) {
    constexpr std::uint64_t Size = 300000;
    const std::string sha256 = BodySha256(Size, 7);
    ASSERT_EQ(sha256.size(), 64u);
    ASSERT_TRUE(WriteManifest(ManifestJson(Narrow(BodyUrl(Size, 7, L"&cl=none")), sha256, 0)));
    std::vector<bool> existedAtFailure;
    WatchFileOn(WM_APP_FAILED, 0, existedAtFailure);

    const std::vector<std::wstring> expected = {Checking,      L"progress:2", Downloading, L"progress:5",
                                                L"progress:88", Installing,   CannotStart};
    EXPECT_EQ(RunWorker(), expected);
    EXPECT_EQ(existedAtFailure, std::vector<bool>{false});
    EXPECT_FALSE(FileExists(tempInstaller_));
}

// The temporary folder on a tmpfs (ctest worker_test.full_disk: netns-run.sh --small-temp)
// and a setup larger than it: the write fails, nothing is left and nothing runs; then,
// with the space free again, a setup that fits installs.
TEST_F(InstallWorkerTest, FullDiskFailsTheSaveAndTheNextRunInstalls) {
    const std::wstring mib = EnvironmentValue(L"KESTRAVON_SMALL_TEMP_MIB");
    if (mib.empty()) {
        GTEST_SKIP() << "needs the small temporary folder of ctest worker_test.full_disk";
    }
    // hold_probe padded past the folder's size: a setup that reports when it starts, and
    // exits at once because its release file is the report itself.
    const std::string probe = ReadWholeFile(BuildTreePath(L"tests/pipeline/hold_probe.exe"));
    ASSERT_FALSE(probe.empty()) << "build the hold_probe target";
    const std::string big = probe + std::string((std::wcstoul(mib.c_str(), nullptr, 10) + 1) << 20, '\0');
    ASSERT_TRUE(WriteServedFile(L"big_probe.exe", big));
    ASSERT_TRUE(WriteManifest(ManifestJson("https://kestravon.test/files/big_probe.exe", Sha256Hex(big), big.size())));
    const std::wstring started = scratch_.path + L"\\started.txt";
    ScopedEnvironment startedVariable(L"KESTRAVON_HOLD_STARTED", started);
    ScopedEnvironment releaseVariable(L"KESTRAVON_HOLD_RELEASE", started);

    std::vector<std::wstring> lines = RunWorker();
    TakeChunkPercents(lines);
    EXPECT_EQ(lines, (std::vector<std::wstring>{Checking, L"progress:2", Downloading, L"progress:5", CannotSave}));
    EXPECT_FALSE(FileExists(tempInstaller_));
    EXPECT_FALSE(FileExists(started)) << "the setup ran";

    recorder_.messages.clear();
    const ServedSetup setup = ServeStandin(L"kestravon-setup.exe");
    ASSERT_TRUE(WriteManifest(ManifestJson(setup.url, setup.sha256, setup.size)));
    lines = RunWorker();
    TakeChunkPercents(lines);
    EXPECT_EQ(lines, CompleteRun);
    EXPECT_TRUE(Installed());
}

// While the setup program runs, another process can neither write, rename nor delete it
// (sharing violations), though it may still read it; the setup itself was started from
// the held file; once it has exited the worker deletes the file as before.
TEST_F(InstallWorkerTest, NobodyCanChangeTheSetupProgramWhileItRuns) {
    const std::wstring probe = BuildTreePath(L"tests/pipeline/hold_probe.exe");
    const std::string bytes = ReadWholeFile(probe);
    ASSERT_FALSE(bytes.empty()) << "build the hold_probe target";
    ASSERT_TRUE(WriteServedFile(L"hold_probe.exe", bytes));
    ASSERT_TRUE(WriteManifest(ManifestJson("https://kestravon.test/files/hold_probe.exe", Sha256Hex(bytes),
                                           bytes.size())));
    const std::wstring started = scratch_.path + L"\\started.txt";
    const std::wstring release = scratch_.path + L"\\release.txt";
    ScopedEnvironment startedVariable(L"KESTRAVON_HOLD_STARTED", started);
    ScopedEnvironment releaseVariable(L"KESTRAVON_HOLD_RELEASE", release);

    bool setupStarted = false;
    std::string probed;
    std::vector<bool> existedAt98;
    recorder_.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_APP_PROGRESS && m.wParam == 98) existedAt98.push_back(FileExists(tempInstaller_));
        if (m.message != WM_APP_STATUS || m.title != L"Installing Kestravon") return;
        // The worker is in RunSetup now; the setup says when it is up, then waits for us.
        setupStarted = WaitForFile(started, 60000);
        if (setupStarted) probed = ProbeFromAnotherProcess(probe, tempInstaller_, scratch_.path + L"\\probe.txt");
        WriteSentinel(release);
    };

    std::vector<std::wstring> lines = RunWorker();
    TakeChunkPercents(lines);
    EXPECT_EQ(lines, CompleteRun);
    EXPECT_TRUE(setupStarted) << "the held file could not be started";
    const std::string refused = std::to_string(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(probed, "write=" + refused + " rename=" + refused + " delete=" + refused + " read=0");
    EXPECT_EQ(existedAt98, std::vector<bool>{false}) << "deleted once the setup has exited";
    EXPECT_FALSE(FileExists(tempInstaller_));
}

// The signed test release installs with every pin, also signed by the second release key only
// or with a line that no pinned key verifies; a setup by the pinned name from another CA
// installs where the issuer is not pinned.
TEST_F(InstallWorkerTest, SignedReleasesInstall) {
    const std::string setup = ReadWholeFile(StandinPath(L"kestravon-setup-publisher.exe"));
    const std::string otherCa = ReadWholeFile(StandinPath(L"kestravon-setup-other-ca-publisher.exe"));
    const std::string manifest = SignedRelease(L"manifest.json");
    const std::string signature = SignedRelease(L"manifest.json.sig");
    ASSERT_FALSE(setup.empty() || otherCa.empty() || manifest.empty()) << "build the kestravon_standins target";
    struct Row {
        const char* name;
        std::string setup;
        std::string manifest;
        std::string signature;  // empty: none is asked for
        ReleasePins pins;
    };
    const Row rows[] = {
        {"every pin", setup, manifest, signature, AllPinned},
        {"second key only", setup, manifest, SignedRelease(L"manifest.json.rotated.sig"), AllPinned},
        {"two lines, one by a key not pinned", setup, manifest,
         "\r\n" + SignedRelease(L"manifest.json.other.sig") + "  \n" + signature, AllPinned},
        {"both keys where both must sign", setup, manifest, SignedRelease(L"manifest.json.rotated.sig") + signature,
         TwoKeysMustSign},
        {"pinned name from another CA, issuer not pinned", otherCa,
         ManifestJson("https://kestravon.test/files/KestravonSetup.exe", Sha256Hex(otherCa), otherCa.size()), "",
         NameOnly},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        recorder_.messages.clear();
        ClearRecordedRequests();
        DeleteFileW((installFolder_ + L"\\kestravon.exe").c_str());
        ASSERT_TRUE(WriteServedFile(L"KestravonSetup.exe", row.setup));
        ASSERT_TRUE(WriteManifest(row.manifest));
        ASSERT_TRUE(WriteManifestSignature(row.signature));
        std::vector<std::wstring> lines = RunWorker(row.pins);
        TakeChunkPercents(lines);
        EXPECT_EQ(lines, CompleteRun);
        EXPECT_TRUE(Installed());
        std::vector<std::string> requests = {ManifestPath, SignaturePath, "/files/KestravonSetup.exe"};
        if (row.signature.empty()) requests.erase(requests.begin() + 1);
        EXPECT_EQ(RequestPaths(), requests);
    }
}

// A manifest without a valid signature by a release key, or signed but expired or older than
// the pinned serial: refused with its sentence before any download.
TEST_F(InstallWorkerTest, UnsignedOrStaleManifestIsRefusedBeforeAnyDownload) {
    const std::string manifest = SignedRelease(L"manifest.json");
    const std::string signature = SignedRelease(L"manifest.json.sig");
    const std::string otherKey = SignedRelease(L"manifest.json.other.sig");
    ASSERT_FALSE(manifest.empty() || signature.empty() || otherKey.empty()) << "build the kestravon_standins target";
    std::string changed = manifest;
    changed[changed.find("\"1.0.0\"") + 5] = '1';  // still a valid manifest, of version 1.0.1
    struct Row {
        const char* name;
        std::string manifest;
        bool served;  // false: the signature answers 404
        std::string signature;
        std::wstring failure;
        ReleasePins pins = AllPinned;
    };
    // Signed by the release key, refused for its age.
    const auto signedAs = [](const char* name, const wchar_t* file, const std::wstring& failure) {
        return Row{name, SignedRelease(file), true, SignedRelease(std::wstring(file) + L".sig"), failure};
    };
    const Row rows[] = {
        {"no signature", manifest, false, "", NotSigned},
        {"empty", manifest, true, "", NotSigned},
        {"over 1 KiB", manifest, true, signature + std::string(1025 - signature.size(), ' '), NotSigned},
        {"not base64", manifest, true, std::string(86, '*') + "==", NotSigned},
        {"63 bytes", manifest, true, std::string(84, 'A'), NotSigned},
        {"five lines", manifest, true, signature + signature + signature + signature + signature, NotSigned},
        {"a good line and a broken one", manifest, true, signature + std::string(84, 'A'), NotSigned},
        {"another key", manifest, true, otherKey, SignatureMismatch},
        {"manifest changed after signing", changed, true, signature, SignatureMismatch},
        {"one key where both must sign", manifest, true, signature, SignatureMismatch, TwoKeysMustSign},
        {"one key's line twice where both must sign", manifest, true, signature + signature, SignatureMismatch,
         TwoKeysMustSign},
        signedAs("expired", L"expired.json", Expired),
        signedAs("no expiry", L"no-expires.json", Expired),
        signedAs("30 February", L"bad-expires.json", Expired),
        signedAs("serial below the floor", L"old-serial.json", Older),
        signedAs("no serial", L"no-serial.json", Older),
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        recorder_.messages.clear();
        ClearRecordedRequests();
        ASSERT_FALSE(row.manifest.empty());
        ASSERT_TRUE(WriteManifest(row.manifest));
        if (row.served) {
            ASSERT_TRUE(WriteManifestSignature(row.signature));
        } else {
            RemoveManifestSignature();
        }
        EXPECT_EQ(RunWorker(row.pins), (std::vector<std::wstring>{Checking, L"progress:2", row.failure}));
        EXPECT_EQ(RequestPaths(), (std::vector<std::string>{ManifestPath, SignaturePath}));
    }
}

// A setup not signed by the pinned publisher, whose digest the manifest matches: refused
// after the download, the file gone before the failure arrives, and the setup never ran.
// Checked apart too: WinVerifyTrust's verdict (its code) refuses an unsigned or changed
// setup, not a signer that happens to be unreadable; the name or the issuer the others.
TEST_F(InstallWorkerTest, SetupNotSignedByThePublisherNeverRuns) {
    std::string changed = ReadWholeFile(StandinPath(L"kestravon-setup-publisher.exe"));
    ASSERT_GT(changed.size(), 0x1000u) << "build the kestravon_standins target";
    changed[0x1000] = static_cast<char>(changed[0x1000] ^ 1);  // in .text: the signed digest breaks
    // The pinned CA's key but for its last byte: the whole digest is compared.
    unsigned char lateDigest[1][32] = {};
    std::memcpy(lateDigest[0], AllPinned.setupSigner.issuerKeys[0], sizeof(lateDigest[0]));
    lateDigest[0][31] ^= 1;
    struct Row {
        const char* name;
        std::string setup;
        HRESULT code;
        SetupSigner signer = PublisherPinned.setupSigner;
    };
    const Row rows[] = {
        {"unsigned", ReadWholeFile(StandinPath(L"kestravon-setup.exe")), TRUST_E_NOSIGNATURE},
        {"changed after signing", changed, TRUST_E_BAD_DIGEST},
        {"another publisher", ReadWholeFile(StandinPath(L"kestravon-setup-other-publisher.exe")), 0},
        {"a name one character off", ReadWholeFile(StandinPath(L"kestravon-setup-near-publisher.exe")), 0},
        {"the pinned name from another CA", ReadWholeFile(StandinPath(L"kestravon-setup-other-ca-publisher.exe")), 0},
        {"the pinned CA's key with another last byte", ReadWholeFile(StandinPath(L"kestravon-setup-publisher.exe")), 0,
         {AllPinned.setupSigner.publisher, lateDigest, 1}},
    };
    const std::wstring copy = scratch_.path + L"\\setup.exe";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        recorder_.messages.clear();
        ASSERT_TRUE(WriteServedFile(L"KestravonSetup.exe", row.setup));
        ASSERT_TRUE(WriteManifest(ManifestJson("https://kestravon.test/files/KestravonSetup.exe", Sha256Hex(row.setup),
                                               row.setup.size())));
        std::vector<bool> existedAtFailure;
        WatchFileOn(WM_APP_FAILED, 0, existedAtFailure);
        std::vector<std::wstring> lines = RunWorker(ReleasePins{{}, 1, row.signer});
        TakeChunkPercents(lines);
        const std::vector<std::wstring> expected = {Checking, L"progress:2", Downloading, L"progress:5",
                                                    WrongPublisher};
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(existedAtFailure, std::vector<bool>{false});
        EXPECT_FALSE(FileExists(tempInstaller_));
        EXPECT_FALSE(Installed());

        ASSERT_TRUE(WriteWholeFile(copy, row.setup));
        const UniqueFileHandle held(
            CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ErrorText errorText;
        EXPECT_FALSE(CheckSetupPublisher(held.get(), copy, row.signer, errorText));
        EXPECT_EQ(errorText.code, static_cast<DWORD>(row.code));
    }
}

}  // namespace
