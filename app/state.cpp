// The installer's global state and the screen its flags select.
#include "app/state.h"

InstallerState g_state;

Screen CurrentScreen(const InstallerState& state) {
    if (state.installing.load()) return Screen::Installing;
    if (state.succeeded.load()) return Screen::Success;
    if (state.failed) return Screen::Failure;
    return Screen::Idle;
}
