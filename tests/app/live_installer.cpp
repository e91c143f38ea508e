// Starting, finding, watching and clicking the real installer from a Windows test.
#include "tests/app/live_installer.h"

#include <string>

#include "common/win_owners.h"
#include "tests/app/installer_path.h"

ChildProcess::~ChildProcess() {
    if (info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
}

namespace {

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

}  // namespace

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

bool StartInstaller(ChildProcess& child, const wchar_t* arguments, WORD showCommand, bool pinned) {
    const std::wstring exe = InstallerExePath(pinned);
    if (exe.empty()) return false;
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    return CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &child.info) != FALSE;
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


void ClickAt(HWND window, int x, int y) {
    RECT frame{};
    GetWindowRect(window, &frame);
    const POINT point{frame.left + x, frame.top + y};
    SendMouse(point, 0);
    SendMouse(point, MOUSEEVENTF_LEFTDOWN);
    SendMouse(point, MOUSEEVENTF_LEFTUP);
}
