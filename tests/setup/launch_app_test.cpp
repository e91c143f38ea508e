// Opening the installed application: which candidates are tried, and how it is started.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shellapi.h>

#include "setup/launch_app.h"
#include "setup/run_setup.h"
#include "tests/support/environment.h"
#include "tests/support/files.h"

namespace {

class LaunchAppTest : public ::testing::Test {
protected:
    // The shell expects the single-threaded apartment the window thread has.
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE); }

    ScratchFolder scratch{L"kestravon launch"};
};

// How the stand-in application found itself started, checked against the folder.
void ExpectStartedIn(const std::wstring& folder) {
    const std::wstring reportPath = folder + L"\\launched.txt";
    ASSERT_TRUE(WaitForFile(reportPath, 30000)) << "the application did not start";
    const std::wstring report = ReadUtf16File(reportPath);
    EXPECT_EQ(ReportField(report, L"cwd"), folder);
    const std::wstring commandLine = ReportField(report, L"cmdline");
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
    ASSERT_NE(arguments, nullptr);
    EXPECT_EQ(count, 1) << "arguments were passed: " << testing::PrintToString(commandLine);
    EXPECT_EQ(CompareStringOrdinal(arguments[0], -1, (folder + L"\\kestravon.exe").c_str(), -1, TRUE), CSTR_EQUAL)
        << testing::PrintToString(commandLine);
    LocalFree(arguments);
}

TEST_F(LaunchAppTest, EmptyFolderLaunchesNothing) {
    EXPECT_FALSE(LaunchInstalledApp(L""));
}

TEST_F(LaunchAppTest, FolderWithoutTheApplication) {
    EXPECT_FALSE(LaunchInstalledApp(scratch.path));
    EXPECT_FALSE(LaunchInstalledApp(scratch.path + L"\\missing"));
}

TEST_F(LaunchAppTest, DirectoryNamedLikeTheApplicationIsSkipped) {
    ASSERT_TRUE(CreateFolder(scratch.path + L"\\kestravon.exe"));
    EXPECT_FALSE(LaunchInstalledApp(scratch.path));
}

TEST_F(LaunchAppTest, ProgramTheShellRefusesIsNotLaunched) {
    const std::wstring program = scratch.path + L"\\kestravon.exe";
    ASSERT_TRUE(WriteWholeFile(program, "not a program"));
    EXPECT_FALSE(LaunchInstalledApp(scratch.path));
}

struct InstalledCase {
    const wchar_t* fileName;  // as the setup program wrote it
    const wchar_t* suffix;    // appended to the install folder
};

const InstalledCase InstalledCases[] = {
    {L"kestravon.exe", L""},
    {L"Kestravon.exe", L""},
    {L"kestravon.exe", L"\\"},  // a trailing separator gives no doubled one
};

TEST_F(LaunchAppTest, StartsTheApplicationInItsFolderWithoutArguments) {
    int index = 0;
    for (const InstalledCase& row : InstalledCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.fileName) + L" " + row.suffix));
        const std::wstring folder = scratch.path + L"\\Kestravon App " + std::to_wstring(++index);
        ASSERT_TRUE(CreateFolder(folder));
        ASSERT_TRUE(CopyInto(StandinPath(L"kestravon_app.exe"), folder + L"\\" + row.fileName));
        EXPECT_TRUE(LaunchInstalledApp(folder + row.suffix));
        ExpectStartedIn(folder);
    }
}

TEST_F(LaunchAppTest, StartsWhatTheRealSetupInstalled) {
    const std::wstring folder = scratch.path + L"\\Installed Kestravon";
    DWORD exitCode = 0;
    ErrorText errorText;
    ASSERT_TRUE(RunSetup(StandinPath(L"kestravon-setup.exe"), folder, exitCode, errorText)) << errorText.sentence;
    EXPECT_TRUE(LaunchInstalledApp(folder));
    ExpectStartedIn(folder);
}

}  // namespace
