// Runs the downloaded setup program silently into the chosen folder and waits for it.
#pragma once

#include <string>

#include <windows.h>

#include "common/error_text.h"

bool RunSetup(const std::wstring& installerPath, const std::wstring& installFolder, DWORD& exitCode,
              ErrorText& errorText);
