// Process start-up and teardown: shared resources, the window class and the window.
#include "app/startup.h"

#include <objbase.h>

#include "app/layout.h"
#include "app/state.h"
#include "app/window.h"
#include "setup/locations.h"
#include "setup/path_rules.h"

namespace {

// Balances a successful CoInitializeEx only: after a failure (another apartment model
// already chosen on this thread) an unmatched CoUninitialize would tear down COM for
// whoever initialised it.
class ComApartment {
public:
    ComApartment() noexcept : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialized_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_;
};

// Deletes the fonts when the run ends, on the failure paths too (after the window is gone,
// nothing selects them any more).
class SharedResources {
public:
    explicit SharedResources(HINSTANCE instance) { CreateSharedResources(instance); }
    ~SharedResources() { DeleteUiFonts(); }
    SharedResources(const SharedResources&) = delete;
    SharedResources& operator=(const SharedResources&) = delete;
};

}  // namespace

int RunInstaller(HINSTANCE instance) {
    // Every coordinate and font height is in device pixels; nothing is ever scaled.
    SetProcessDPIAware();
    // The folder picker is a COM object hosted on this thread.
    ComApartment apartment;
    SharedResources resources(instance);
    SetDefaultInstallFolder();

    if (!RegisterInstallerClass(instance)) return 1;
    HWND window = CreateInstallerWindow(instance);
    if (!window) return 1;
    // SW_SHOW whatever the process was started with: a minimised start still shows the window.
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return RunMessageLoop();
}

HFONT CreateUiFont(int pixelHeight, int weight) {
    // A negative height asks for the character height, not the cell height.
    return CreateFontW(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
}

// The fonts stay plain handles in g_state because the painter selects them from there for
// the whole run; DeleteUiFonts ends them in creation order, before COM goes away.
void CreateSharedResources(HINSTANCE instance) {
    g_state.fontBody = CreateUiFont(14, 400);
    g_state.fontSmall = CreateUiFont(13, 500);
    g_state.fontEmphasis = CreateUiFont(15, 600);
    g_state.fontBold = CreateUiFont(15, 700);
    g_state.fontHeadline = CreateUiFont(25, 600);
    g_state.appIcon = LoadIconW(instance, MAKEINTRESOURCEW(AppIconId));
    g_state.arrowCursor = LoadCursorW(nullptr, IDC_ARROW);
    g_state.handCursor = LoadCursorW(nullptr, IDC_HAND);
}

void SetDefaultInstallFolder() {
    const std::wstring base = DefaultInstallFolder();
    g_state.installFolder = base.empty() ? std::wstring() : JoinPath(base, L"Kestravon");
}

bool RegisterInstallerClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;  // no CS_DBLCLKS: a quick second press stays a WM_LBUTTONDOWN
    windowClass.lpfnWndProc = InstallerWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = g_state.appIcon;
    windowClass.hIconSm = g_state.appIcon;
    windowClass.hCursor = g_state.arrowCursor;
    windowClass.hbrBackground = nullptr;  // the painter fills the whole client area
    windowClass.lpszClassName = InstallerWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

POINT CenteredWindowPosition(const RECT& workArea) {
    // Signed, truncating toward zero: a work area smaller than the window puts it
    // half the difference left of or above the area.
    return POINT{workArea.left + (workArea.right - workArea.left - WindowWidth) / 2,
                 workArea.top + (workArea.bottom - workArea.top - WindowHeight) / 2};
}

HWND CreateInstallerWindow(HINSTANCE instance) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const POINT position = CenteredWindowPosition(area);
    g_state.mainWindow = CreateWindowExW(WS_EX_APPWINDOW, InstallerWindowClass, InstallerWindowTitle,
                                         WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, position.x, position.y,
                                         WindowWidth, WindowHeight, nullptr, nullptr, instance, nullptr);
    return g_state.mainWindow;
}

int RunMessageLoop() {
    MSG msg{};
    // 0 is WM_QUIT and -1 an error; both end the loop.
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(static_cast<UINT>(msg.wParam));
}

void DeleteUiFonts() {
    for (HFONT* font : {&g_state.fontBody, &g_state.fontSmall, &g_state.fontEmphasis, &g_state.fontBold,
                        &g_state.fontHeadline}) {
        if (*font) DeleteObject(*font);
        *font = nullptr;
    }
}
