// The window's accessibility tree for screen readers (MSAA) and the events that keep it current.
#pragma once

#include <windows.h>

// Posted by an element's default action, which leaves the client point it presses in
// g_state.pendingPress; handled as a click there. Posted rather than run in the reader's
// call: "Change" opens a modal picker, and the reader would wait until it closed. The
// point is not in the message, so another program's WM_APP+8 presses nothing.
constexpr UINT WM_APP_PRESS = WM_APP + 8;

// WM_GETOBJECT: the client area's IAccessible for OBJID_CLIENT. Anything else, or a system
// without oleacc.dll, gets DefWindowProc's answer, as before the tree existed.
LRESULT OnGetObject(HWND window, WPARAM wParam, LPARAM lParam);

// Tell assistive technology what just changed in g_state.
void AnnouncePhase(HWND window);       // a phase began: its title and detail lines were renamed
void AnnouncePercent(HWND window);     // the shown percentage changed
void AnnounceOpenOption(HWND window);  // "Open Kestravon" was toggled
void AnnounceScreen(HWND window);      // another screen is up; the failure screen is also an alert
