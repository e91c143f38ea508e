// The real installer under Wine and Xvfb: its window, a screenshot, real input, exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "common/win_owners.h"
#include "tests/app/installer_path.h"
#include "tests/app/bitmap_file.h"

namespace {

constexpr COLORREF Background = RGB(16, 19, 25);
constexpr COLORREF Accent = RGB(46, 124, 246);
constexpr COLORREF LocationBox = RGB(23, 27, 34);
constexpr COLORREF Control = RGB(32, 38, 49);

// Our own child: terminated if a failed check leaves it running, handles closed.
struct ChildProcess {
    PROCESS_INFORMATION info{};
    ~ChildProcess() {
        if (info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 99);
            WaitForSingleObject(info.hProcess, 5000);
        }
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
    }
};

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchInstallerWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || std::wstring(className) != L"KestravonInstallerWindow") return TRUE;
    search->found = window;
    return FALSE;
}

HWND WaitForInstallerWindow(DWORD processId, HANDLE process) {
    for (int i = 0; i < 300; ++i) {
        // FindWindowW first, as a user would; then make sure it is our child's window.
        if (FindWindowW(L"KestravonInstallerWindow", nullptr)) {
            WindowSearch search{processId, nullptr};
            EnumWindows(MatchInstallerWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found && IsWindowVisible(search.found)) return search.found;
        }
        if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

// The screen under `frame`, as top-down 0x00RRGGBB pixels, via the screen DC.
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
    const std::uint32_t p = pixels[y * 560 + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

// Starts the built installer; false when it cannot be started.
bool StartInstaller(ChildProcess& child, const wchar_t* arguments, WORD showCommand) {
    const std::wstring exe = InstallerExePath();
    if (exe.empty()) return false;
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    return CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &child.info) != FALSE;
}

// One mouse event at a screen point, through the system's input queue.
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

TEST(LiveWindowTest, ShowsCentredAndExitsWithZeroAfterClose) {
    // Started minimised with arguments: neither may change what the user sees.
    ChildProcess child;
    ASSERT_TRUE(StartInstaller(child, L"/S --unexpected argument", SW_SHOWMINNOACTIVE))
        << "cannot start the installer (KESTRAVON_BUILD_DIR set?), error " << GetLastError();

    HWND window = WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess);
    ASSERT_NE(window, nullptr) << "no visible installer window within 15 s";
    EXPECT_FALSE(IsIconic(window));
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(title, L"Kestravon Installer");

    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, 560);
    EXPECT_EQ(frame.bottom - frame.top, 380);
    EXPECT_EQ(frame.left, area.left + (area.right - area.left - 560) / 2);
    EXPECT_EQ(frame.top, area.top + (area.bottom - area.top - 380) / 2);

    // Give the X server a moment to show the first paint, then look at it.
    Sleep(1000);
    const std::vector<std::uint32_t> pixels = CaptureScreen(frame);
    ASSERT_EQ(pixels.size(), 560u * 380u);
    const std::wstring shot = BuildTreeFile(L"live_window.bmp");
    if (!shot.empty()) SaveBitmap(shot, pixels, 560, 380);
    EXPECT_EQ(PixelAt(pixels, 280, 1), Accent);
    EXPECT_EQ(PixelAt(pixels, 280, 2), Background);
    EXPECT_EQ(PixelAt(pixels, 20, 200), Background);
    EXPECT_EQ(PixelAt(pixels, 47, 241), LocationBox);
    EXPECT_EQ(PixelAt(pixels, 428, 241), Control);
    EXPECT_EQ(PixelAt(pixels, 60, 305), Accent);
    EXPECT_NE(PixelAt(pixels, 0, 0), Background);  // cut away by the rounded region

    ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(child.info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

TEST(LiveWindowTest, RealMouseInputDragsTheWindowAndTheGlyphClosesIt) {
    ChildProcess child;
    ASSERT_TRUE(StartInstaller(child, L"", SW_SHOWNORMAL)) << "error " << GetLastError();
    HWND window = WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);
    RECT before{};
    GetWindowRect(window, &before);

    // Grab the strip at (200, 50) and let go 100 px right and 60 px lower.
    SendMouse(POINT{before.left + 200, before.top + 50}, 0);
    SendMouse(POINT{before.left + 200, before.top + 50}, MOUSEEVENTF_LEFTDOWN);
    SendMouse(POINT{before.left + 250, before.top + 80}, 0);
    SendMouse(POINT{before.left + 300, before.top + 110}, 0);
    POINT cursor{};
    GetCursorPos(&cursor);
    SendMouse(POINT{before.left + 300, before.top + 110}, MOUSEEVENTF_LEFTUP);
    Sleep(300);
    RECT after{};
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left, cursor.x - 200);
    EXPECT_EQ(after.top, cursor.y - 50);
    EXPECT_NE(after.left, before.left);

    // The close glyph, away from the drag strip's other uses.
    SendMouse(POINT{after.left + 527, after.top + 29}, 0);
    SendMouse(POINT{after.left + 527, after.top + 29}, MOUSEEVENTF_LEFTDOWN);
    SendMouse(POINT{after.left + 527, after.top + 29}, MOUSEEVENTF_LEFTUP);
    ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0) << "the glyph did not close the window";
    DWORD exitCode = 1234;
    GetExitCodeProcess(child.info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
