// The real installer's window driven with real input: Try Again, the folder picker, and
// the installing screen's bar on screen while a download hangs.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "pipeline/messages.h"
#include "setup/path_rules.h"
#include "tests/app/bitmap_file.h"
#include "tests/app/end_to_end_fixture.h"
#include "tests/app/live_installer.h"
#include "tests/app/release_support.h"
#include "tests/app/screen_text.h"
#include "tests/support/find_window.h"

namespace {

HWND WaitForPickerDialog(DWORD processId) {
    for (int i = 0; i < 300; ++i) {
        if (HWND dialog = FindPickerDialog(processId)) return dialog;
        Sleep(100);
    }
    return nullptr;
}

// Types `path` into the name box and presses Return, or presses Escape when `path` is
// empty; retries while the dialog stays open, cancels it as a last resort. True when
// the input itself closed it.
bool DrivePicker(HWND dialog, const std::wstring& path) {
    Sleep(700);  // let the dialog fill its view first
    for (int attempt = 0; attempt < 10 && IsWindow(dialog); ++attempt) {
        HWND nameBox = FindNameBox(dialog);
        if (!nameBox) {
            Sleep(250);
            continue;
        }
        if (path.empty()) {
            PressKey(nameBox, VK_ESCAPE);
        } else {
            SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
            PressKey(nameBox, VK_RETURN);
        }
        Sleep(1000);
    }
    const bool closedByInput = !IsWindow(dialog);
    for (int i = 0; i < 20 && IsWindow(dialog); ++i) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        Sleep(500);
    }
    return closedByInput;
}

TEST_F(EndToEndTest, TryAgainStartsAFreshRunThatSucceeds) {
    ASSERT_TRUE(PublishRelease(setup, std::string(64, 'a')));
    ChildProcess child;
    HWND window = StartAndPressInstall(child);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForText(window, MainButton(L"Try Again"), 60000)) << "no failure screen within a minute";
    EXPECT_FALSE(FileExists(JoinPath(folder, L"kestravon.exe")));

    ASSERT_TRUE(PublishRelease(setup, Sha256Hex(setup)));  // the release is fixed
    ClickAt(window, MainButtonRect);
    ASSERT_TRUE(WaitForText(window, MainButton(L"Done"), 120000)) << "the second run did not succeed";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Kestravon is ready")));
    EXPECT_TRUE(FileExists(JoinPath(folder, L"kestravon.exe")));
    ExpectClosesWithZero(child, window);
}

TEST_F(EndToEndTest, TheFolderPickedWithChangeIsShownAndInstalledInto) {
    ASSERT_TRUE(PublishRelease(setup, Sha256Hex(setup)));
    const ScratchFolder scratch(L"kestravon-chosen");
    const std::wstring& chosen = scratch.path;
    ASSERT_NE(GetFileAttributesW(chosen.c_str()), INVALID_FILE_ATTRIBUTES);
    ChildProcess child;
    HWND window = StartIdle(child);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(ShowsText(window, FolderText(folder)));

    // Cancelled: nothing changes.
    ClickAt(window, ChangeButtonRect);
    HWND dialog = WaitForPickerDialog(child.info.dwProcessId);
    ASSERT_NE(dialog, nullptr) << "\"Change\" opened no picker";
    EXPECT_TRUE(DrivePicker(dialog, L""));
    EXPECT_TRUE(WaitForText(window, FolderText(folder), 5000));
    EXPECT_TRUE(ShowsText(window, MainButton(L"Install Kestravon")));

    // Chosen: the idle screen shows it and the setup installs there.
    ClickAt(window, ChangeButtonRect);
    dialog = WaitForPickerDialog(child.info.dwProcessId);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(DrivePicker(dialog, chosen));
    ASSERT_TRUE(WaitForText(window, FolderText(chosen), 5000)) << "the chosen folder is not shown";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Install Kestravon")));

    ClickAt(window, MainButtonRect);
    ASSERT_TRUE(WaitForText(window, MainButton(L"Done"), 120000)) << "no success screen within two minutes";
    EXPECT_TRUE(FileExists(JoinPath(chosen, L"kestravon.exe")));
    EXPECT_FALSE(FileExists(JoinPath(folder, L"kestravon.exe")));
    ExpectClosesWithZero(child, window);
}

// Port 9444 never answers, so the download hangs on the installing screen, its bar at
// the 2 % of the manifest step, for about ten seconds before it fails. (The bar at other
// values is checked on the installer's window in app_window_test: only the run itself
// can move it, so values no run posts cannot be set from outside.)
TEST_F(EndToEndTest, TheBarOnScreenFollowsProgressWhileTheDownloadHangs) {
    ASSERT_TRUE(PublishRelease(setup, Sha256Hex(setup), "https://kestravon.test:9444/files/KestravonSetup.exe"));
    ChildProcess child;
    HWND window = StartAndPressInstall(child);
    ASSERT_NE(window, nullptr);
    // After this status the worker posts nothing until the request fails.
    ASSERT_TRUE(WaitForText(window, StatusTitleText(L"Downloading Kestravon"), 30000));
    EXPECT_TRUE(WaitForText(window, PercentText(L"2%"), 2000));
    RECT frame{};
    GetWindowRect(window, &frame);
    {
        const std::vector<std::uint32_t> pixels = CaptureScreen(frame);
        ASSERT_EQ(pixels.size(), 560u * 380u);
        SaveBitmap(BuildTreeFile(L"live_installing_2.bmp"), pixels, 560, 380);
        EXPECT_EQ(PixelAt(pixels, 60, 305), BusyButtonColour);
        EXPECT_EQ(PixelAt(pixels, 40 + 9, 235), AccentColour) << "last column of the 10-pixel fill";
        EXPECT_EQ(PixelAt(pixels, 40 + 10, 235), ControlColour) << "first column of the track";
    }

    // A forged progress message from another process is ignored: the bar stays.
    ASSERT_TRUE(PostMessageW(window, WM_APP_PROGRESS, 50, 0));
    Sleep(300);
    EXPECT_TRUE(ShowsText(window, PercentText(L"2%")));

    ASSERT_TRUE(WaitForText(window, MainButton(L"Try Again"), 60000)) << "the hanging download never failed";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Setup could not finish")));
    EXPECT_TRUE(ShowsText(window, SubLineText(L"Kestravon server did not respond.")));
    const std::vector<std::uint32_t> pixels = CaptureScreen(frame);
    SaveBitmap(BuildTreeFile(L"live_failure.bmp"), pixels, 560, 380);
    ExpectClosesWithZero(child, window);
}

}  // namespace
