// The installer window's procedure: shape, dragging, clicks, and the worker's messages.
#pragma once

#include <windows.h>

LRESULT CALLBACK InstallerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void BeginInstall();
