// Runs the downloaded setup program silently into the chosen folder and waits for it.
#pragma once

#include <string>

#include <windows.h>

bool RunSetup(const std::wstring& installerPath, const std::wstring& installFolder, DWORD& exitCode,
              std::wstring& errorText);
