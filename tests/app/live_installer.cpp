// Starting, finding, watching and clicking the real installer from a Windows test.
#include "tests/app/live_installer.h"

#include <gtest/gtest.h>

#include "app/startup.h"
#include "common/win_owners.h"
#include "tests/app/test_window.h"
#include "tests/support/environment.h"
#include "tests/support/find_window.h"

ChildProcess::~ChildProcess() {
    if (info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
}

HWND WaitForInstallerWindow(DWORD processId, HANDLE process) {
    for (int i = 0; i < 300; ++i) {
        // FindWindowW first, as a user would; then make sure it is our child's window.
        if (FindWindowW(InstallerWindowClass, nullptr)) {
            if (HWND window = FindTopWindow(processId, InstallerWindowClass, nullptr)) return window;
        }
        if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

std::vector<std::uint32_t> CaptureScreen(const RECT& frame) {
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    UniqueNullHandle<HDC, DeleteDC> memory(CreateCompatibleDC(screen));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    std::vector<std::uint32_t> pixels;
    if (bits) {
        SelectedObject selection(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits);
        pixels.assign(first, first + width * height);
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

COLORREF PixelAt(const std::vector<std::uint32_t>& pixels, int x, int y) {
    const std::uint32_t p = pixels[static_cast<std::size_t>(y) * 560 + static_cast<std::size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool StartInstaller(ChildProcess& child, const wchar_t* arguments, WORD showCommand, const std::wstring& exe,
                    const wchar_t* directory) {
    const std::wstring program = exe.empty() ? InstallerExePath() : exe;
    if (program.empty()) return false;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    return CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory,
                          &startup, &child.info) != FALSE;
}

void ExpectExitsWithZero(const ChildProcess& child, const char* failure) {
    ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0) << failure;
    DWORD exitCode = 1234;
    GetExitCodeProcess(child.info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

void ExpectClosesWithZero(const ChildProcess& child, HWND window) {
    ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    ExpectExitsWithZero(child);
}

void SendMouse(POINT screenPoint, DWORD flags) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screenPoint.x, 65536, width) + 1;  // inside the target pixel
    input.mi.dy = MulDiv(screenPoint.y, 65536, height) + 1;
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
    Sleep(100);
}
void ClickAt(HWND window, const RECT& control) {
    RECT frame{};
    GetWindowRect(window, &frame);
    const POINT centre = CentreOf(control);
    const POINT point{frame.left + centre.x, frame.top + centre.y};
    SendMouse(point, 0);
    SendMouse(point, MOUSEEVENTF_LEFTDOWN);
    SendMouse(point, MOUSEEVENTF_LEFTUP);
}
