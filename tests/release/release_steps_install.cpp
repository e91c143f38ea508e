// One installation pressed as a user would, for release_steps.sh:
//   release_steps_install.exe INSTALLER.exe SHOT.bmp [SENTENCE]
// Exits 0 when the installer ends on its success screen with kestravon.exe in the default
// folder or, given a sentence, on its failure screen with that sentence and nothing
// installed; otherwise says what it saw and saves the window in SHOT.bmp.
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

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && argc != 4) return 2;
    const wchar_t* sentence = argc == 4 ? argv[3] : nullptr;
    const std::wstring installed = JoinPath(JoinPath(DefaultInstallFolder(), L"Kestravon"), L"kestravon.exe");
    DeleteFileW(installed.c_str());
    ChildProcess child;
    HWND window = StartInstaller(child, L"", SW_SHOWNORMAL, argv[1])
                      ? WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess)
                      : nullptr;
    if (!window) {
        std::printf("release_steps_install: no installer window\n");
        return 1;
    }
    SetForegroundWindow(window);
    const char* wrong = "no idle screen";
    if (WaitForText(window, MainButton(L"Install Kestravon"), 10000)) {
        ClickAt(window, MainButtonRect);
        bool done = false, failed = false;
        for (int i = 0; i < 600 && !done && !failed; ++i, Sleep(200)) {  // two minutes
            done = ShowsText(window, MainButton(L"Done"));
            failed = !done && ShowsText(window, MainButton(L"Try Again"));
        }
        const bool expected = sentence ? failed && ShowsText(window, SubLineText(sentence)) && !FileExists(installed)
                                       : done && FileExists(installed);
        wrong = expected ? nullptr
                : done   ? (sentence ? "ended on the success screen" : "no kestravon.exe after the success screen")
                : failed ? "ended on the failure screen, with another sentence or something installed"
                         : "no outcome within two minutes";
    }
    if (wrong) {
        std::printf("release_steps_install: %s\n", wrong);
        RECT frame{};
        GetWindowRect(window, &frame);
        SaveBitmap(argv[2], CaptureScreen(frame), frame.right - frame.left, frame.bottom - frame.top);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(child.info.hProcess, 10000);
    return wrong ? 1 : 0;
}
