// Process entry point: restricts the DLL search before the C runtime starts.
#include "app/dll_safety.h"

// The MinGW-w64 runtime's GUI start-up routine; with -municode it calls wWinMain.
extern "C" int WinMainCRTStartup();

// Linked as the image entry point (-Wl,-e,KestravonStartup). Static imports are
// all KnownDLLs, so nothing from the executable's folder has been loaded before
// this runs; from here on nothing will be. Windows 10, the build's floor, always
// has SetDefaultDllDirectories; should it refuse anyway, the delay-load hook still
// loads System32 copies only, so start-up carries on.
extern "C" int KestravonStartup() {
    RestrictDllSearchToSystem32();
    return WinMainCRTStartup();
}
