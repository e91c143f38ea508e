// The installer window's procedure: shape, dragging, clicks, the worker's messages, screen readers, taskbar.
#include "app/window.h"

#include <bcrypt.h>
#include <dwmapi.h>
#include <windowsx.h>

#include "app/accessibility.h"
#include "app/controls.h"
#include "app/layout.h"
#include "app/paint.h"
#include "app/state.h"
#include "app/taskbar.h"
#include "common/win_owners.h"
#include "pipeline/messages.h"
#include "pipeline/worker.h"
#include "setup/folder_picker.h"
#include "setup/launch_app.h"
#include "setup/path_rules.h"

namespace {

// Newer DWM attributes that MinGW's dwmapi.h does not name yet. Older systems and Wine
// refuse them, which only leaves the window square and light-framed in the task switcher.
constexpr DWORD UseImmersiveDarkMode = 20;   // DWMWA_USE_IMMERSIVE_DARK_MODE
constexpr DWORD WindowCornerPreference = 33;  // DWMWA_WINDOW_CORNER_PREFERENCE
constexpr int CornerRound = 2;                // DWMWCP_ROUND

void Repaint(HWND window) { InvalidateRect(window, nullptr, FALSE); }

// Another screen is up (or the failure screen again): the painter, screen readers and the
// taskbar follow.
void ScreenChanged(HWND window) {
    Repaint(window);
    AnnounceScreen(window);
    ShowRunOnTaskbar(window);
}

// The failure screen for a worker's WM_APP_FAILED, and for a worker that never started.
void ShowFailure(HWND window, const std::wstring* errorText) {
    g_state.runToken = 0;
    g_state.installing.exchange(false);
    g_state.succeeded.exchange(false);
    g_state.failed = true;
    g_state.progress.exchange(0);
    g_state.statusTitle = L"Installation failed";
    g_state.statusDetail = errorText ? *errorText : L"An unexpected error occurred.";
    g_state.buttonLabel = L"Try Again";
    ScreenChanged(window);
    FlashIfInBackground(window);
    MessageBeep(MB_ICONHAND);
}

void OnCreate(HWND window) {
    const BOOL dark = TRUE;
    DwmSetWindowAttribute(window, UseImmersiveDarkMode, &dark, sizeof(dark));
    const int corners = CornerRound;
    DwmSetWindowAttribute(window, WindowCornerPreference, &corners, sizeof(corners));
    // One pixel wider and taller than the window: the region excludes its right and bottom edges.
    UniqueRegion region(CreateRoundRectRgn(0, 0, WindowWidth + 1, WindowHeight + 1, 24, 24));
    if (region && SetWindowRgn(window, region.get(), TRUE)) {
        static_cast<void>(region.release());  // the window owns the region from here on
    }
    ListenForTaskbarButton(window);
}

void OnDestroy() {
    g_state.taskbar.reset();  // while COM is still up
    PostQuitMessage(0);
}

void OnClose(HWND window) {
    if (g_state.installing.load()) return;  // the worker would be left posting to nothing
    DestroyWindow(window);
}

LRESULT OnSetCursor(HWND window, LPARAM lParam) {
    if (LOWORD(lParam) != HTCLIENT) return 0;
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(window, &point);
    const Screen screen = CurrentScreen(g_state);
    const Control* control = ControlAt(screen, point);
    SetCursor(control && IsLive(*control, screen) ? g_state.handCursor : g_state.arrowCursor);
    return 1;
}

void OnMouseMove(HWND window, WPARAM wParam) {
    if (!g_state.dragging || !(wParam & MK_LBUTTON)) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    // No frame: client and window coordinates coincide, so the grabbed point stays put.
    SetWindowPos(window, nullptr, cursor.x - g_state.dragAnchor.x, cursor.y - g_state.dragAnchor.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnChange(HWND window) {
    if (!PickInstallFolder(window, g_state.installFolder)) return;
    const bool leavesFailure = g_state.failed;
    g_state.failed = false;
    g_state.buttonLabel = L"Install Kestravon";
    if (leavesFailure) {
        ScreenChanged(window);
    } else {
        Repaint(window);
    }
    AnnounceFolder(window);
}

void OnToggleOpenOption(HWND window) {
    g_state.openAfterInstall = !g_state.openAfterInstall;
    Repaint(window);
    AnnounceOpenOption(window);
}

void OnFinish(HWND window) {
    if (g_state.openAfterInstall) LaunchInstalledApp(g_state.installFolder);  // the window closes either way
    DestroyWindow(window);
}

// A press on a live control, by the mouse or a screen reader. The picker and the shell's
// launch pump messages, so a press queued meanwhile would run inside this one (a second
// launch, a run started under the opening picker): it is dropped.
void CarryOut(HWND window, Press press) {
    if (g_state.pressing) return;
    g_state.pressing = true;
    switch (press) {
    case Press::CloseWindow: DestroyWindow(window); break;
    case Press::PickFolder: OnChange(window); break;
    case Press::ToggleOpenOption: OnToggleOpenOption(window); break;
    case Press::Install: BeginInstall(); break;
    case Press::Finish: OnFinish(window); break;
    case Press::None: break;
    }
    g_state.pressing = false;
}

void OnLeftButtonDown(HWND window, LPARAM lParam) {
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const Screen screen = CurrentScreen(g_state);
    // A press on a control with an action never drags, also where it does nothing (the
    // close glyph while installing).
    if (const Control* control = ControlAt(screen, point); control && control->press != Press::None) {
        if (IsLive(*control, screen)) CarryOut(window, control->press);
        return;
    }
    if (point.y < DragStripHeight) {
        g_state.dragging = true;
        g_state.dragAnchor = point;
        SetCapture(window);
    }
}

// A screen reader's default action, carried out if it still holds.
void OnPress(HWND window, WPARAM wParam, LPARAM lParam) {
    if (const Control* control = ReaderPress(wParam, lParam)) CarryOut(window, control->press);
}

void OnLeftButtonUp() {
    if (!g_state.dragging) return;
    g_state.dragging = false;
    ReleaseCapture();
}

// Capture taken away mid-drag (Alt+Tab, another window): the drag ends with it, or the
// next press-and-move anywhere would move the window by the old anchor.
void OnCaptureChanged() { g_state.dragging = false; }

void OnStatus(HWND window, LPARAM lParam) {
    std::unique_ptr<StatusUpdate> update(reinterpret_cast<StatusUpdate*>(lParam));
    if (update) {
        g_state.statusTitle = update->title;
        g_state.statusDetail = update->detail;
        AnnouncePhase(window);
    }
    Repaint(window);
}

void OnProgress(HWND window, WPARAM wParam) {
    // Stored as sent; the painter clamps. Readers and the taskbar hear of what is shown.
    const int shownBefore = ShownPercent(g_state);
    g_state.progress.exchange(static_cast<int>(static_cast<UINT>(wParam)));
    Repaint(window);
    if (ShownPercent(g_state) == shownBefore) return;
    AnnouncePercent(window);
    ShowRunOnTaskbar(window);
}

void OnSucceeded(HWND window) {
    g_state.runToken = 0;
    g_state.succeeded.exchange(true);
    g_state.installing.exchange(false);
    g_state.failed = false;
    g_state.buttonLabel = L"Done";
    ScreenChanged(window);
    FlashIfInBackground(window);
}

DWORD WINAPI WorkerThreadProc(LPVOID run) {
    InstallWorker(static_cast<InstallRun*>(run));
    return 0;
}

void OnFailed(HWND window, LPARAM lParam) {
    std::unique_ptr<std::wstring> errorText(reinterpret_cast<std::wstring*>(lParam));
    ShowFailure(window, errorText.get());
}

// Only the awaited run's messages are applied (and their payloads freed). Any other
// WM_APP+n, from a program that broadcasts them or after the run's final message, is
// left alone: its parameters are not ours to read or free.
void OnWorkerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_state.runToken == 0 || RunTokenOf(message, wParam, lParam) != g_state.runToken) return;
    switch (message) {
    case WM_APP_STATUS: OnStatus(window, lParam); break;
    case WM_APP_PROGRESS: OnProgress(window, wParam); break;
    case WM_APP_SUCCEEDED: OnSucceeded(window); break;
    case WM_APP_FAILED: OnFailed(window, lParam); break;
    default: break;
    }
}

// Registered messages have no constant to switch on.
LRESULT OnOtherMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == g_state.taskbarButtonCreated) {
        OnTaskbarButtonCreated(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

UINT_PTR NewToken() {
    UINT_PTR token = 0;
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&token), sizeof(token), BCRYPT_USE_SYSTEM_PREFERRED_RNG) <
        0) {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        token = static_cast<UINT_PTR>(counter.QuadPart) ^ (static_cast<UINT_PTR>(GetCurrentProcessId()) << 32);
    }
    return token != 0 ? token : 1;
}

LRESULT CALLBACK InstallerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_PAINT: PaintInstallerWindow(window); return 0;
    case WM_CLOSE: OnClose(window); return 0;
    case WM_ERASEBKGND: return 1;  // the painter covers the whole client area
    case WM_SETCURSOR: return OnSetCursor(window, lParam);
    case WM_MOUSEMOVE: OnMouseMove(window, wParam); return 0;
    case WM_LBUTTONDOWN: OnLeftButtonDown(window, lParam); return 0;
    case WM_APP_PRESS: OnPress(window, wParam, lParam); return 0;
    case WM_LBUTTONUP: OnLeftButtonUp(); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(); return 0;
    case WM_GETOBJECT: return OnGetObject(window, wParam, lParam);
    case WM_APP_STATUS:
    case WM_APP_PROGRESS:
    case WM_APP_SUCCEEDED:
    case WM_APP_FAILED: OnWorkerMessage(window, message, wParam, lParam); return 0;
    default: return OnOtherMessage(window, message, wParam, lParam);
    }
}

bool StartWorkerThread(std::unique_ptr<InstallRun>& run) {
    // A plain system thread: the runtime's win32 thread model has no std::thread. The handle
    // is closed at once: nothing joins the worker.
    const UniqueHandle worker(CreateThread(nullptr, 0, WorkerThreadProc, run.get(), 0, nullptr));
    if (!worker) return false;
    static_cast<void>(run.release());  // the running thread owns it now
    return true;
}

void BeginInstall(WorkerStarter startWorker) {
    if (g_state.installing.exchange(true)) return;  // one worker at a time
    if (g_state.installFolder.empty() || !IsAbsolutePath(g_state.installFolder)) {
        g_state.installing.exchange(false);
        g_state.failed = true;
        g_state.statusDetail = L"Choose a valid installation folder.";
        g_state.buttonLabel = L"Try Again";
        ScreenChanged(g_state.mainWindow);
        return;
    }
    g_state.succeeded.exchange(false);
    g_state.failed = false;
    g_state.progress.exchange(0);
    g_state.buttonLabel = L"Installing...";
    // Painted at once: until the worker's first message, the last screen's "Change" and
    // "Try Again" would stay up as if they could be pressed.
    ScreenChanged(g_state.mainWindow);
    g_state.runToken = NewToken();
    auto run = std::make_unique<InstallRun>();
    run->installFolder = g_state.installFolder;
    run->report.window = g_state.mainWindow;
    run->report.token = g_state.runToken;
    run->pins = g_state.pins;
    // Without a thread no message would ever end the run; fail it here instead of leaving
    // the window stuck on "Installing..." with close refused.
    if (!startWorker(run)) ShowFailure(g_state.mainWindow, nullptr);
}
