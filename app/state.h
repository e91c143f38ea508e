// The installer's one global state record, owned by the window thread.
#pragma once

#include <atomic>
#include <string>

#include <windows.h>
#include <shobjidl.h>

#include "common/win_owners.h"
#include "pipeline/worker.h"

// A line spoken to screen readers, kept as it was announced.
struct AnnouncedLine {
    std::wstring words;
    const RECT* rect = nullptr;  // where the control it was announced from is painted
};

struct InstallerState {
    std::wstring statusTitle = L"Ready";            // phase title, shown while installing
    std::wstring statusDetail;                      // phase detail, or the failure sentence
    std::wstring installFolder;                     // where the product goes; may be empty
    std::wstring buttonLabel = L"Install Kestravon";  // text of the main button
    std::atomic<bool> installing{false};            // a worker thread is running
    std::atomic<bool> succeeded{false};             // the installation finished; never cleared again
    bool failed = false;                            // the last attempt failed or the folder was rejected
    std::atomic<int> progress{0};                   // percent, unclamped; clamped when drawn
    bool openAfterInstall = true;                   // "Done" opens the installed application
    bool dragging = false;                          // a window drag is in progress
    POINT dragAnchor{0, 0};                         // client point where the drag began
    HFONT fontBody = nullptr;                       // Segoe UI 14 px, 400
    HFONT fontSmall = nullptr;                      // Segoe UI 13 px, 500
    HFONT fontEmphasis = nullptr;                   // Segoe UI 15 px, 600
    HFONT fontBold = nullptr;                       // Segoe UI 15 px, 700
    HFONT fontHeadline = nullptr;                   // Segoe UI 25 px, 600
    HICON appIcon = nullptr;                        // icon resource IDI_KESTRAVON
    HCURSOR arrowCursor = nullptr;                  // IDC_ARROW
    HCURSOR handCursor = nullptr;                   // IDC_HAND, over active controls
    HWND mainWindow = nullptr;                      // the window the worker posts to
    UINT_PTR runToken = 0;                          // token of the awaited run's messages; 0 if none
    UINT_PTR pressToken = 0;                        // marks a WM_APP_PRESS as a reader's; 0 until one presses
    bool pressing = false;                          // a press is being carried out; another is dropped
    AnnouncedLine announced[8];                     // the last lines announced to readers, a ring
    unsigned linesAnnounced = 0;                    // lines announced since start-up, the ring's next is % 8
    UINT taskbarButtonCreated = 0;                  // the shell's "TaskbarButtonCreated" message; 0 if none
    ComPtr<ITaskbarList3> taskbar;                  // the shell's taskbar list, from that message until WM_DESTROY
    ReleasePins pins;                               // what this build trusts beyond the host (from main)
};

extern InstallerState g_state;

enum class Screen { Idle, Installing, Success, Failure };

// installing, else succeeded, else failed, else idle.
Screen CurrentScreen(const InstallerState& state);
