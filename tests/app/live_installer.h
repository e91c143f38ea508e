// Starting, finding, watching and clicking the real installer from a Windows test.
#pragma once

#include <cstdint>
#include <vector>

#include <windows.h>

// Our own child: terminated if a failed check leaves it running, handles closed.
struct ChildProcess {
    PROCESS_INFORMATION info{};
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
};

// Starts the built installer (or the pinned test build) with `arguments`; false when it
// cannot be started.
bool StartInstaller(ChildProcess& child, const wchar_t* arguments, WORD showCommand, bool pinned = false);
// The child's visible installer window, found by class within 15 s; null if none.
HWND WaitForInstallerWindow(DWORD processId, HANDLE process);
// The screen under `frame`, as top-down 0x00RRGGBB pixels, via the screen DC.
std::vector<std::uint32_t> CaptureScreen(const RECT& frame);
// A pixel of a 560-pixel-wide capture.
COLORREF PixelAt(const std::vector<std::uint32_t>& pixels, int x, int y);
// One mouse event at a screen point, through the system's input queue.
void SendMouse(POINT screenPoint, DWORD flags);
// Moves to the window's client point (x, y), presses and releases the left button.
void ClickAt(HWND window, int x, int y);
