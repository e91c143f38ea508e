// Run by planting_test.sh (mode install): a whole installation of the signed test release by
// a copy of the pinned installer that lies beside planted system DLLs, started in a planted
// working directory; the script then checks that no plant was loaded.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "setup/path_rules.h"
#include "tests/app/end_to_end_fixture.h"
#include "tests/app/live_installer.h"
#include "tests/app/release_support.h"
#include "tests/app/screen_text.h"
#include "tests/support/environment.h"

namespace {

TEST_F(EndToEndTest, AWholeInstallationBesidePlantedDllsSucceeds) {
    const std::wstring installer = HostPathFromEnvironment(L"KESTRAVON_PLANT_INSTALLER");
    const std::wstring cwd = HostPathFromEnvironment(L"KESTRAVON_PLANT_CWD");
    ASSERT_FALSE(installer.empty() || cwd.empty()) << "run through planting_test.sh (ctest dll.planting.install)";
    ASSERT_TRUE(PublishSignedRelease());

    ChildProcess child;
    // It inherits our environment: Wine 8 takes WINEDLLOVERRIDES from the launching
    // process's Unix environment and ignores the one in an environment block.
    ASSERT_TRUE(StartInstaller(child, L"", SW_SHOWNORMAL, installer, cwd.c_str()));
    HWND window = WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess);
    ASSERT_NE(window, nullptr) << "no installer window";
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitForText(window, MainButton(L"Install Kestravon"), 5000));
    ClickAt(window, MainButtonRect);

    ASSERT_TRUE(WaitForText(window, MainButton(L"Done"), 45000)) << "no success screen within 45 s";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Kestravon is ready")));
    EXPECT_TRUE(FileExists(JoinPath(folder, L"kestravon.exe")));

    ClickAt(window, MainButtonRect);  // "Done", with "Open Kestravon" on
    ASSERT_NO_FATAL_FAILURE(ExpectExitsWithZero(child));
    EXPECT_TRUE(WaitForFile(JoinPath(folder, L"launched.txt"), 10000)) << "the installed application was not opened";
}

}  // namespace
