// The taskbar button during a run, through the shell's ITaskbarList3 and FlashWindowEx.
#include "app/taskbar.h"

#include <utility>

#include "app/paint.h"
#include "common/win_owners.h"

TaskbarProgress TaskbarProgressFor(const InstallerState& state) {
    switch (CurrentScreen(state)) {
    case Screen::Installing: return {TBPF_NORMAL, ShownPercent(state)};
    case Screen::Failure: return {TBPF_ERROR, 100};  // the failure resets the percentage; a full red bar shows
    case Screen::Idle:
    case Screen::Success: break;
    }
    return {TBPF_NOPROGRESS, 0};
}

void ListenForTaskbarButton(HWND window) {
    g_state.taskbarButtonCreated = RegisterWindowMessageW(L"TaskbarButtonCreated");
    // Run elevated, the window would otherwise never hear it from the user's shell.
    if (g_state.taskbarButtonCreated) {
        ChangeWindowMessageFilterEx(window, g_state.taskbarButtonCreated, MSGFLT_ALLOW, nullptr);
    }
}

void OnTaskbarButtonCreated(HWND window) {
    // Sent again when the shell restarts: the new button gets a new list.
    ComPtr<ITaskbarList3> taskbar;
    if (FAILED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(taskbar.put()))) ||
        FAILED(taskbar->HrInit())) {
        return;
    }
    g_state.taskbar = std::move(taskbar);
    ShowRunOnTaskbar(window);
}

void ShowRunOnTaskbar(HWND window) {
    if (!g_state.taskbar) return;
    const TaskbarProgress progress = TaskbarProgressFor(g_state);
    if (progress.flags != TBPF_NOPROGRESS) g_state.taskbar->SetProgressValue(window, progress.percent, 100);
    g_state.taskbar->SetProgressState(window, progress.flags);
}

void FlashIfInBackground(HWND window) {
    if (GetForegroundWindow() == window) return;
    FLASHWINFO flash{sizeof(flash), window, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
}
