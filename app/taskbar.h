// The taskbar button during a run: its progress, its error state, and a flash at the end.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include "app/state.h"

// What the button shows for a state: the shown percentage while installing, a full bar in
// the error state on the failure screen, nothing on the others.
struct TaskbarProgress {
    TBPFLAG flags;
    int percent;
};
TaskbarProgress TaskbarProgressFor(const InstallerState& state);

// WM_CREATE: registers "TaskbarButtonCreated", which the shell sends once the button exists.
void ListenForTaskbarButton(HWND window);
// That message: takes the shell's taskbar list and shows the current state on the button.
void OnTaskbarButtonCreated(HWND window);
// Shows TaskbarProgressFor(g_state). Every failure here is ignored: the button is a courtesy.
void ShowRunOnTaskbar(HWND window);
// Flashes the button until the window comes forward, unless it is in the foreground now.
void FlashIfInBackground(HWND window);
