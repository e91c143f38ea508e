// The common item dialog in folder mode, behind the window's "Change" control.
#pragma once

#include <windows.h>

bool PickInstallFolder(HWND owner);
