// Test-local folder picker, application launch and worker: controlled, showing nothing.
#pragma once

#include <string>

#include <windows.h>

struct AppFakes {
    bool pickResult = false;      // what PickInstallFolder returns
    std::wstring pickedFolder;    // stored in installFolder when pickResult is set
    int pickCalls = 0;
    HWND pickOwner = nullptr;
    int launchCalls = 0;
    std::wstring launchedFolder;
    bool pumpMeanwhile = false;  // the picker and the launch pump this thread's messages, as the real ones may
};

extern AppFakes g_fakes;

// The fake worker posts one WM_APP_STATUS ("Fake worker", its folder) and frees the folder.
constexpr wchar_t FakeWorkerTitle[] = L"Fake worker";
