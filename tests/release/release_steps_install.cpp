// One installation with one installer build, pressed as a user would, for the run of the
// release steps (release_steps.sh):
//   release_steps_install.exe INSTALLER.exe SHOT.bmp [SENTENCE]
// Exits 0 when the installer ended on its success screen with kestravon.exe in the default
// folder or, given a sentence, on its failure screen with that sentence and nothing
// installed. Otherwise says what it saw, with the window in SHOT.bmp.
#include <cstdio>
#include <string>

#include <windows.h>

#include "app/layout.h"
#include "setup/locations.h"
#include "setup/path_rules.h"
#include "tests/app/bitmap_file.h"
#include "tests/app/live_installer.h"
#include "tests/app/screen_text.h"
#include "tests/support/files.h"

namespace {

enum class Outcome { None, Installed, Failed };

Outcome WaitForOutcome(HWND window) {
    for (int i = 0; i < 600; ++i) {  // two minutes
        if (ShowsText(window, MainButton(L"Done"))) return Outcome::Installed;
        if (ShowsText(window, MainButton(L"Try Again"))) return Outcome::Failed;
        Sleep(200);
    }
    return Outcome::None;
}

int Report(HWND window, const wchar_t* shot, const char* what) {
    std::printf("release_steps_install: %s\n", what);
    if (window) {
        RECT frame{};
        GetWindowRect(window, &frame);
        SaveBitmap(shot, CaptureScreen(frame), frame.right - frame.left, frame.bottom - frame.top);
    }
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && argc != 4) {
        std::printf("usage: release_steps_install.exe INSTALLER.exe SHOT.bmp [SENTENCE]\n");
        return 2;
    }
    const wchar_t* sentence = argc == 4 ? argv[3] : nullptr;
    const std::wstring installed = JoinPath(JoinPath(DefaultInstallFolder(), L"Kestravon"), L"kestravon.exe");
    DeleteFileW(installed.c_str());

    ChildProcess child;
    if (!StartInstaller(child, L"", SW_SHOWNORMAL, argv[1])) return Report(nullptr, argv[2], "not started");
    HWND window = WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess);
    if (!window) return Report(nullptr, argv[2], "no window");
    SetForegroundWindow(window);
    if (!WaitForText(window, MainButton(L"Install Kestravon"), 10000)) return Report(window, argv[2], "no idle screen");
    ClickAt(window, MainButtonRect);

    const Outcome outcome = WaitForOutcome(window);
    int result = 0;
    if (outcome == Outcome::None) {
        result = Report(window, argv[2], "no outcome within two minutes");
    } else if (!sentence && (outcome != Outcome::Installed || !FileExists(installed))) {
        result = Report(window, argv[2], "did not install");
    } else if (sentence && (outcome != Outcome::Failed || !ShowsText(window, SubLineText(sentence)) ||
                            FileExists(installed))) {
        result = Report(window, argv[2], "did not fail with that sentence");
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(child.info.hProcess, 10000);
    return result;
}
