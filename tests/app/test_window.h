// Helpers for window tests: a fresh installer state, the real window, its accessible object, a DIB canvas.
#pragma once

#include <cstdint>

#include <windows.h>
#include <oleacc.h>

#include "app/state.h"
#include "common/win_owners.h"

// Start values of every field; fonts (once per state) and cursors are created here, the
// icon is left null.
void ResetInstallerState(InstallerState& state);

// The installer's own class and window from start-up, hidden; mainWindow points at it.
HWND CreateTestInstallerWindow();
// Destroys the window if it still exists and drops the WM_QUIT its WM_DESTROY posted.
void DestroyTestInstallerWindow(HWND window);
// Puts `state` on `screen` the way the window procedure would have left it; an installing
// screen awaits the run `runToken`.
void EnterScreen(InstallerState& state, Screen screen, UINT_PTR runToken = 0);
// Dispatches whatever is queued for this thread now.
void PumpMessages();
constexpr Screen AllScreens[] = {Screen::Idle, Screen::Installing, Screen::Success, Screen::Failure};
// "idle", "installing", "success" or "failure", for a test's trace.
const char* ScreenName(Screen screen);

// The centre of a rectangle of app/layout.h: where a test presses to mean "this control".
constexpr POINT CentreOf(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

// The client area's IAccessible, as a screen reader gets it; null if none.
ComPtr<IAccessible> ClientAccessibleOf(HWND window);
// A child id of an IAccessible, as a screen reader passes it.
inline VARIANT ChildId(LONG id) {
    VARIANT child{};
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}
// Child ids of the controls (their rows in app/controls.cpp), the same on every screen.
constexpr LONG CloseId = 1, HeadlineId = 2, SubLineId = 3, BarId = 7, OptionId = 8, MainButtonId = 9, DoneId = 10;

// A top-down 32-bit DIB section selected into a memory DC.
struct Canvas {
    UniqueMemoryDc dc;
    UniqueGdiObject bitmap;
    HGDIOBJ previous = nullptr;
    const std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;

    Canvas(int w, int h);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    COLORREF At(int x, int y) const;
};

// Counts pixels in `rect` whose colour differs from `colour` / equals `colour`.
int CountOther(const Canvas& canvas, const RECT& rect, COLORREF colour);
int CountEqual(const Canvas& canvas, const RECT& rect, COLORREF colour);

