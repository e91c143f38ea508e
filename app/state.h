// The installer's one global state record, owned by the window thread.
#pragma once

#include <atomic>
#include <string>

#include <windows.h>

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
    HICON appIcon = nullptr;                        // icon resource 101
    HCURSOR arrowCursor = nullptr;                  // IDC_ARROW
    HCURSOR handCursor = nullptr;                   // IDC_HAND, over active controls
    HWND mainWindow = nullptr;                      // the window the worker posts to
};

extern InstallerState g_state;

// Client-area rectangles shared by hit-testing and painting.
constexpr RECT CloseButtonRect{510, 12, 544, 46};
constexpr RECT ChangeButtonRect{424, 225, 504, 257};
constexpr RECT OpenOptionRect{40, 214, 250, 248};
constexpr RECT LocationBoxRect{40, 218, 520, 264};
constexpr RECT MainButtonRect{40, 300, 520, 344};

constexpr int WindowWidth = 560;
constexpr int WindowHeight = 380;
constexpr int DragStripHeight = 94;

enum class Screen { Idle, Installing, Success, Failure };

// installing, else succeeded, else failed, else idle.
Screen CurrentScreen(const InstallerState& state);
