// Helpers for window tests: a fresh installer state, the real window, its accessible object, a DIB canvas.
#include "tests/app/test_window.h"

#include "app/startup.h"

void ResetInstallerState(InstallerState& state) {
    state.statusTitle = L"Ready";
    state.statusDetail.clear();
    state.installFolder.clear();
    state.buttonLabel = L"Install Kestravon";
    state.installing.exchange(false);
    state.succeeded.exchange(false);
    state.failed = false;
    state.progress.exchange(0);
    state.openAfterInstall = true;
    state.dragging = false;
    state.dragAnchor = POINT{0, 0};
    state.runToken = 0;
    if (!state.fontBody) state.fontBody = CreateUiFont(14, 400);
    if (!state.fontSmall) state.fontSmall = CreateUiFont(13, 500);
    if (!state.fontEmphasis) state.fontEmphasis = CreateUiFont(15, 600);
    if (!state.fontBold) state.fontBold = CreateUiFont(15, 700);
    if (!state.fontHeadline) state.fontHeadline = CreateUiFont(25, 600);
    state.appIcon = nullptr;
    state.arrowCursor = LoadCursorW(nullptr, IDC_ARROW);
    state.handCursor = LoadCursorW(nullptr, IDC_HAND);
}

void EnterScreen(InstallerState& state, Screen screen, UINT_PTR runToken) {
    switch (screen) {
    case Screen::Idle: break;
    case Screen::Installing:
        state.installing.exchange(true);
        state.buttonLabel = L"Installing...";
        state.runToken = runToken;
        break;
    case Screen::Success:
        state.succeeded.exchange(true);
        state.buttonLabel = L"Done";
        break;
    case Screen::Failure:
        state.failed = true;
        state.statusTitle = L"Installation failed";
        state.statusDetail = L"The download was interrupted.";
        state.buttonLabel = L"Try Again";
        break;
    }
}

const char* ScreenName(Screen screen) {
    switch (screen) {
    case Screen::Idle: return "idle";
    case Screen::Installing: return "installing";
    case Screen::Success: return "success";
    case Screen::Failure: return "failure";
    }
    return "?";
}

HWND CreateTestInstallerWindow() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(instance, InstallerWindowClass, &existing)) RegisterInstallerClass(instance);
    return CreateInstallerWindow(instance);
}

ComPtr<IAccessible> ClientAccessibleOf(HWND window) {
    ComPtr<IAccessible> client;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                               reinterpret_cast<void**>(client.put()));
    return client;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        DispatchMessageW(&msg);
    }
}

void DestroyTestInstallerWindow(HWND window) {
    if (IsWindow(window)) DestroyWindow(window);
    PumpMessages();
    if (g_state.mainWindow == window) g_state.mainWindow = nullptr;
}

Canvas::Canvas(int w, int h) : dc(CreateCompatibleDC(nullptr)), width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    bitmap.reset(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    bits = static_cast<const std::uint32_t*>(pixels);
    previous = SelectObject(dc.get(), bitmap.get());
}

Canvas::~Canvas() {
    if (previous) SelectObject(dc.get(), previous);
}

COLORREF Canvas::At(int x, int y) const {
    GdiFlush();  // GDI may batch drawing into the DIB
    const std::uint32_t pixel = bits[y * width + x];  // 0x00RRGGBB in memory order B, G, R
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int CountOther(const Canvas& canvas, const RECT& rect, COLORREF colour) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) count += canvas.At(x, y) != colour;
    return count;
}

int CountEqual(const Canvas& canvas, const RECT& rect, COLORREF colour) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) count += canvas.At(x, y) == colour;
    return count;
}
