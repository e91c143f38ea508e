// Process start-up and teardown: shared resources, the window class and the window.
#pragma once

#include <windows.h>

#include "res/resource.h"

inline constexpr wchar_t InstallerWindowClass[] = L"KestravonInstallerWindow";
inline constexpr wchar_t InstallerWindowTitle[] = L"Kestravon Installer";
constexpr int AppIconId = IDI_KESTRAVON;

// The whole life of the process after the runtime's start-up; returns the exit code.
int RunInstaller(HINSTANCE instance);

HFONT CreateUiFont(int pixelHeight, int weight);
// The five fonts, the icon and the two cursors, stored in g_state without a test.
void CreateSharedResources(HINSTANCE instance);
// installFolder = DefaultInstallFolder() + "\Kestravon", or empty when there is no base.
void SetDefaultInstallFolder();
bool RegisterInstallerClass(HINSTANCE instance);
// Creates the borderless window centred in the work area and stores it in mainWindow;
// returns it, or null.
HWND CreateInstallerWindow(HINSTANCE instance);
// x = area.left + (area.right - area.left - 560) / 2, likewise y.
POINT CenteredWindowPosition(const RECT& workArea);
// Runs until WM_QUIT (or a GetMessageW error); returns the low 32 bits of its wParam.
int RunMessageLoop();
// Deletes the fonts in the order they were created and nulls them.
void DeleteUiFonts();
