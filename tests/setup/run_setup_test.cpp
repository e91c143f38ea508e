// The setup runner against real processes: the stand-in records how it was started,
// and its file name picks its exit code.
#include <gtest/gtest.h>

#include <atomic>

#include "setup/run_setup.h"
#include "tests/support/environment.h"
#include "tests/support/files.h"
#include "tests/support/test_thread.h"

namespace {

constexpr DWORD Untouched = 12345;
const std::wstring UntouchedText = L"(untouched)";

class RunSetupTest : public ::testing::Test {
protected:
    // The installer's folder has a space, as a user's temporary folder may.
    ScratchFolder scratch{L"kestravon runner"};

    std::wstring Standin(const std::wstring& name) {
        std::wstring path = scratch.path + L"\\" + name;
        EXPECT_TRUE(CopyInto(StandinPath(L"setup-standin.exe"), path)) << testing::PrintToString(path);
        return path;
    }

    static std::wstring ReportOf(const std::wstring& installer) {
        return ReadUtf16File(installer.substr(0, installer.size() - 4) + L".run.txt");
    }
};

struct FolderCase {
    const wchar_t* folder;
    const wchar_t* passed;  // what must follow /D=
};

const FolderCase FolderCases[] = {
    {L"C:\\Program Files\\Kestravon", L"C:\\Program Files\\Kestravon"},  // spaces stay unquoted
    {L"C:/Users/A B/Kestravon", L"C:\\Users\\A B\\Kestravon"},
    {L"C:\\Users\\.\\A\\Old\\..\\Kestravon", L"C:\\Users\\A\\Kestravon"},
    {L"C:\\Kestravon\\", L"C:\\Kestravon"},
    {L"C:\\Kestravon\\\\/", L"C:\\Kestravon"},
    {L"C:\\Kestravon\\.\\", L"C:\\Kestravon"},
    {L"C:\\", L"C:\\"},                                                   // a drive root keeps its separator
    {L"C:/", L"C:\\"},
    {L"C:\\\\", L"C:\\"},
    {L"C:\\..", L"C:\\"},
    {L"\\\\server\\share\\Kestravon\\", L"\\\\server\\share\\Kestravon"},
    {L"D:\\K\u00e9strav\u00f6n \u6587\u4ef6", L"D:\\K\u00e9strav\u00f6n \u6587\u4ef6"},
};

TEST_F(RunSetupTest, PassesTheNormalisedFolderLastAndUnquoted) {
    const std::wstring installer = Standin(L"setup standin.exe");
    for (const FolderCase& row : FolderCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.folder)));
        DeleteFileW((scratch.path + L"\\setup standin.run.txt").c_str());
        DWORD exitCode = Untouched;
        ErrorText errorText{UntouchedText};
        EXPECT_TRUE(RunSetup(installer, row.folder, exitCode, errorText));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(errorText.sentence, UntouchedText);
        const std::wstring report = ReportOf(installer);
        EXPECT_EQ(ReportField(report, L"cmdline"), L"\"" + installer + L"\" /S /D=" + row.passed);
        EXPECT_EQ(ReportField(report, L"cwd"), scratch.path);
    }
}

TEST_F(RunSetupTest, InstallerInADriveRootRunsInThatRoot) {
    const std::wstring installer = L"C:\\kestravon-standin-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    ASSERT_TRUE(CopyInto(StandinPath(L"setup-standin.exe"), installer));
    const std::wstring reportPath = installer.substr(0, installer.size() - 4) + L".run.txt";
    DWORD exitCode = Untouched;
    ErrorText errorText{UntouchedText};
    EXPECT_TRUE(RunSetup(installer, L"C:\\Kestravon", exitCode, errorText));
    EXPECT_EQ(ReportField(ReadUtf16File(reportPath), L"cwd"), L"C:\\");
    DeleteFileW(reportPath.c_str());
    DeleteFileW(installer.c_str());
}

TEST_F(RunSetupTest, BareInstallerNameRunsInTheCurrentDirectory) {
    Standin(L"bare.exe");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(scratch.path.c_str()));
    DWORD exitCode = Untouched;
    ErrorText errorText{UntouchedText};
    const bool result = RunSetup(L"bare.exe", L"C:\\Kestravon", exitCode, errorText);
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(result) << errorText.sentence;
    EXPECT_EQ(ReportField(ReadUtf16File(scratch.path + L"\\bare.run.txt"), L"cwd"), scratch.path);
}

TEST_F(RunSetupTest, RefusesFoldersThatAreNotAbsoluteWithoutStartingAnything) {
    const std::wstring installer = Standin(L"setup standin.exe");
    const wchar_t* folders[] = {L"", L"Kestravon", L"Apps\\Kestravon", L".\\Kestravon", L"C:", L"C:Kestravon",
                                L"\\Kestravon", L"/Kestravon", L"\\\\\\Kestravon",
                                L"./C:/Kestravon"};  // absolute only once normalised
    for (const wchar_t* folder : folders) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(folder)));
        DWORD exitCode = Untouched;
        ErrorText errorText{UntouchedText};
        EXPECT_FALSE(RunSetup(installer, folder, exitCode, errorText));
        EXPECT_EQ(errorText.sentence, L"Choose a valid installation folder.");
        EXPECT_EQ(exitCode, Untouched);
    }
    EXPECT_FALSE(FileExists(scratch.path + L"\\setup standin.run.txt")) << "a process was started";
}

struct ExitCase {
    const wchar_t* name;
    bool result;
    DWORD exitCode;
    const wchar_t* errorText;
};

const ExitCase ExitCases[] = {
    {L"exit-0.exe", true, 0, L"(untouched)"},
    {L"exit-3.exe", false, 3, L"Setup stopped with code 3."},
    {L"exit-1.exe", false, 1, L"Setup stopped with code 1."},
    {L"exit-3221225477.exe", false, 3221225477u, L"Setup stopped with code 3221225477."},  // 0xC0000005
    {L"exit-4294967295.exe", false, 4294967295u, L"Setup stopped with code 4294967295."},
};

TEST_F(RunSetupTest, TurnsTheExitCodeIntoTheResult) {
    for (const ExitCase& row : ExitCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.name)));
        const std::wstring installer = Standin(row.name);
        DWORD exitCode = Untouched;
        ErrorText errorText{UntouchedText};
        EXPECT_EQ(RunSetup(installer, L"C:\\Kestravon", exitCode, errorText), row.result);
        EXPECT_EQ(exitCode, row.exitCode);
        EXPECT_EQ(errorText.sentence, row.errorText);
    }
}

TEST_F(RunSetupTest, MissingInstallerLeavesTheExitCodeAlone) {
    const std::wstring paths[] = {scratch.path + L"\\missing.exe", scratch.path + L"\\no folder\\setup.exe"};
    for (const std::wstring& installer : paths) {
        DWORD exitCode = Untouched;
        ErrorText errorText{UntouchedText};
        EXPECT_FALSE(RunSetup(installer, L"C:\\Kestravon", exitCode, errorText));
        EXPECT_EQ(errorText.sentence, L"Could not start the Kestravon installer.");
        EXPECT_EQ(exitCode, Untouched);
    }
}

TEST_F(RunSetupTest, NotAProgramDoesNotStart) {
    const std::wstring installer = scratch.path + L"\\setup.exe";
    ASSERT_TRUE(WriteWholeFile(installer, "not a program"));
    DWORD exitCode = Untouched;
    ErrorText errorText{UntouchedText};
    EXPECT_FALSE(RunSetup(installer, L"C:\\Kestravon", exitCode, errorText));
    EXPECT_EQ(errorText.sentence, L"Could not start the Kestravon installer.");
    EXPECT_EQ(exitCode, Untouched);
}

TEST_F(RunSetupTest, WaitsForASetupThatDoesNotEnd) {
    const std::wstring installer = Standin(L"wait-forever.exe");
    std::atomic<bool> returned{false};
    bool result = true;
    DWORD exitCode = Untouched;
    ErrorText errorText{UntouchedText};
    TestThread runner([&] {
        result = RunSetup(installer, L"C:\\Kestravon", exitCode, errorText);
        returned = true;
    });

    const std::wstring reportPath = scratch.path + L"\\wait-forever.run.txt";
    const bool started = WaitForFile(reportPath, 20000);
    const DWORD pid = started ? std::wcstoul(ReportField(ReadUtf16File(reportPath), L"pid").c_str(), nullptr, 10) : 0;
    if (started) Sleep(2000);
    EXPECT_TRUE(started);
    EXPECT_FALSE(returned) << "RunSetup returned while its setup program was still running";

    // End the stand-in this test started, by its own pid, so the runner can return.
    HANDLE process = pid ? OpenProcess(PROCESS_TERMINATE, FALSE, pid) : nullptr;
    EXPECT_NE(process, nullptr);
    if (process) {
        TerminateProcess(process, 77);
        CloseHandle(process);
    }
    runner.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(exitCode, 77u);
    EXPECT_EQ(errorText.sentence, L"Setup stopped with code 77.");
}

TEST_F(RunSetupTest, RealSetupInstallsIntoAFolderWithSpaces) {
    const std::wstring folder = scratch.path + L"\\Kestravon App";
    DWORD exitCode = Untouched;
    ErrorText errorText{UntouchedText};
    ASSERT_TRUE(RunSetup(StandinPath(L"kestravon-setup.exe"), folder + L"\\", exitCode, errorText)) << errorText.sentence;
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(FileExists(folder + L"\\kestravon.exe"));
    // The setup program cuts its command line at " /D=" before it records it.
    EXPECT_EQ(ReadUtf16File(folder + L"\\setup-commandline.txt"),
              L"\"" + StandinPath(L"kestravon-setup.exe") + L"\" /S");
}

TEST_F(RunSetupTest, RealSetupFailureIsReportedWithItsCode) {
    const std::wstring folder = scratch.path + L"\\Kestravon App";
    DWORD exitCode = Untouched;
    ErrorText errorText{UntouchedText};
    EXPECT_FALSE(RunSetup(StandinPath(L"kestravon-setup-fails.exe"), folder, exitCode, errorText));
    EXPECT_EQ(exitCode, 3u);
    EXPECT_EQ(errorText.sentence, L"Setup stopped with code 3.");
    EXPECT_FALSE(FileExists(folder + L"\\kestravon.exe"));
}

}  // namespace
