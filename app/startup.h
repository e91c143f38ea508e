// Process start-up pieces shared by the entry point and its tests.
#pragma once

#include <windows.h>

constexpr wchar_t InstallerWindowClass[] = L"KestravonInstallerWindow";
constexpr wchar_t InstallerWindowTitle[] = L"Kestravon Installer";

HFONT CreateUiFont(int pixelHeight, int weight);
// Start-up steps after COM: fonts, icon and cursors, default folder, class, window.
// Returns the window, or null when the class or window could not be created.
HWND CreateInstallerWindow(HINSTANCE instance);
// x = area.left + (area.right - area.left - 560) / 2, likewise y.
POINT CenteredWindowPosition(const RECT& workArea);
void DeleteUiFonts();
