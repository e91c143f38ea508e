// Starting, finding, watching and clicking the real installer from a Windows test.
#pragma once

#include <cstdint>
#include <string>
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

// Starts the built installer, or `exe`, with `arguments` in `directory` (null: ours); false
// when it cannot be started. It inherits our environment.
bool StartInstaller(ChildProcess& child, const wchar_t* arguments, WORD showCommand, const std::wstring& exe = {},
                    const wchar_t* directory = nullptr);
// Waits up to 10 s for the child to end, a fatal failure if it does not, and expects exit code 0.
void ExpectExitsWithZero(const ChildProcess& child, const char* failure = "the installer did not end");
// Asks the window to close with WM_CLOSE, then the same.
void ExpectClosesWithZero(const ChildProcess& child, HWND window);
// The child's visible installer window, found by class within 15 s; null if none.
HWND WaitForInstallerWindow(DWORD processId, HANDLE process);
// The screen under `frame`, as top-down 0x00RRGGBB pixels, via the screen DC.
std::vector<std::uint32_t> CaptureScreen(const RECT& frame);
// A pixel of a 560-pixel-wide capture.
COLORREF PixelAt(const std::vector<std::uint32_t>& pixels, int x, int y);
// One mouse event at a screen point, through the system's input queue.
void SendMouse(POINT screenPoint, DWORD flags);
// Moves to the centre of the window's client rectangle `control` (from app/layout.h),
// presses and releases the left button.
void ClickAt(HWND window, const RECT& control);
