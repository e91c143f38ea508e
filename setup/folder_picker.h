// The common item dialog in folder mode, behind the window's "Change" control.
#pragma once

#include <windows.h>

#include <string>

// Shows the picker modal to `owner`, starting in `installFolder` or its parent; true when
// the user chose a usable folder, which then replaces `installFolder` (normalised).
bool PickInstallFolder(HWND owner, std::wstring& installFolder);
