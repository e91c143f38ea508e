// The window's accessibility tree for screen readers (MSAA) and the events that keep it current.
#pragma once

#include <windows.h>

#include "app/controls.h"

// Posted by an element's default action: wParam is MAKEWPARAM(its child id, its screen),
// lParam g_state.pressToken, so another program's WM_APP+8 presses nothing. Posted rather
// than run in the reader's call: "Change" opens a modal picker, and the reader would wait
// until it closed.
constexpr UINT WM_APP_PRESS = WM_APP + 8;

// WM_GETOBJECT: a new IAccessible of the client area for OBJID_CLIENT. Anything else, or a
// system without oleacc.dll, gets DefWindowProc's answer, as before the tree existed.
LRESULT OnGetObject(HWND window, WPARAM wParam, LPARAM lParam);
// WM_APP_PRESS: the control to press, or null when the message is not a reader's, or its
// screen is gone or the control cannot be pressed now.
const Control* ReaderPress(WPARAM wParam, LPARAM lParam);

// Tell assistive technology what just changed in g_state.
void AnnouncePhase(HWND window);       // a phase began: its title and detail are renamed and spoken
void AnnouncePercent(HWND window);     // the shown percentage changed
void AnnounceOpenOption(HWND window);  // "Open Kestravon" was toggled: its new state is spoken
void AnnounceFolder(HWND window);      // another install folder was picked: it is spoken
void AnnounceScreen(HWND window);      // another screen is up; the outcome of a run is spoken
