// Opens the installed application from the install folder.
#pragma once

#include <string>

// Opens kestravon.exe (or Kestravon.exe) from `installFolder`; false when neither started.
bool LaunchInstalledApp(const std::wstring& installFolder);
