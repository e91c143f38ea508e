// The fixture of the installations through the real window.
#include "tests/app/end_to_end_fixture.h"

#include "setup/path_rules.h"
#include "tests/app/release_support.h"
#include "tests/app/screen_text.h"
#include "tests/support/environment.h"
#include "tests/net/service_client.h"

void EndToEndTest::SetUp() {
    ASSERT_FALSE(ServiceDir().empty()) << "run through netns-run.sh (ctest)";
    folder = DefaultFolder();
    ClearInstallFolder();
    setup = ReadWholeFile(StandinPath(L"kestravon-setup.exe"));
    ASSERT_FALSE(setup.empty()) << "stand-in setup missing (target kestravon_standins)";
}

void EndToEndTest::ClearInstallFolder() {
    for (const wchar_t* name : {L"kestravon.exe", L"setup-commandline.txt", L"launched.txt"}) {
        DeleteFileW(JoinPath(folder, name).c_str());
    }
}

HWND EndToEndTest::StartIdle(ChildProcess& child, bool pinned) {
    if (!StartInstaller(child, L"", SW_SHOWNORMAL, InstallerExePath(pinned))) return nullptr;
    HWND window = WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess);
    if (!window) return nullptr;
    SetForegroundWindow(window);
    // The comparison itself must work before it can tell screens apart.
    EXPECT_TRUE(WaitForText(window, MainButton(L"Install Kestravon"), 5000));
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Install Kestravon")));
    return window;
}

HWND EndToEndTest::StartAndPressInstall(ChildProcess& child, bool pinned) {
    HWND window = StartIdle(child, pinned);
    if (window) ClickAt(window, MainButtonRect);
    return window;
}
