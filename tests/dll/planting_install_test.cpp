// Run by planting_test.sh (mode install): a whole installation of the signed test release by
// a copy of the pinned installer that lies beside planted system DLLs, started in a planted
// working directory; the script then checks that no plant was loaded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <windows.h>

#include "setup/path_rules.h"
#include "tests/app/end_to_end_fixture.h"
#include "tests/app/live_installer.h"
#include "tests/app/release_support.h"
#include "tests/app/screen_text.h"

namespace {

// A host path from the environment as Wine's Z: drive shows it; empty when unset.
std::wstring WindowsPathFromEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != '/') return std::wstring();
    std::wstring path = L"Z:";
    for (const char* c = value; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

// The installer inherits our environment: Wine 8 takes WINEDLLOVERRIDES from the
// launching process's Unix environment and ignores the one in an environment block.
bool StartIn(ChildProcess& child, const std::wstring& exe, const std::wstring& directory) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    return CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          directory.c_str(), &startup, &child.info) != FALSE;
}

TEST_F(EndToEndTest, AWholeInstallationBesidePlantedDllsSucceeds) {
    const std::wstring installer = WindowsPathFromEnv("KESTRAVON_PLANT_INSTALLER");
    const std::wstring cwd = WindowsPathFromEnv("KESTRAVON_PLANT_CWD");
    ASSERT_FALSE(installer.empty() || cwd.empty()) << "run through planting_test.sh (ctest dll.planting.install)";
    ASSERT_TRUE(PublishSignedRelease());

    ChildProcess child;
    ASSERT_TRUE(StartIn(child, installer, cwd));
    HWND window = WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess);
    ASSERT_NE(window, nullptr) << "no installer window";
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitForText(window, MainButton(L"Install Kestravon"), 5000));
    ClickAt(window, 280, 322);

    ASSERT_TRUE(WaitForText(window, MainButton(L"Done"), 45000)) << "no success screen within 45 s";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Kestravon is ready")));
    EXPECT_TRUE(Exists(JoinPath(folder, L"kestravon.exe")));

    ClickAt(window, 280, 322);  // "Done", with "Open Kestravon" on
    ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(child.info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(WaitForFile(JoinPath(folder, L"launched.txt"), 10000)) << "the installed application was not opened";
}

}  // namespace
