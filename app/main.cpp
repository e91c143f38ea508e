// Entry point of KestravonInstaller.exe; the command line and show command are not used.
#include <windows.h>

#include "app/startup.h"
#include "app/state.h"
// Generated from the build options; each installer executable has its own (cmake/ReleaseTrust.cmake).
#include "release_trust.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    g_state.pins = KESTRAVON_RELEASE_PINS;
    return RunInstaller(instance);
}
