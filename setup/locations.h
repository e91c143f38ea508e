// Where things live on this machine: the default install folder, the temporary
// installer file, and what kind of entry a path names.
#pragma once

#include <string>

#include <windows.h>

enum class PathType { NotFound, StatusUnavailable, RegularFile, Directory };

struct PathTypeResult {
    PathType type = PathType::StatusUnavailable;
    DWORD errorCode = 0;  // the system error of the query, 0 when it succeeded
};

// The user's roaming application-data folder, or empty.
std::wstring DefaultInstallFolder();
// "<temp>\KestravonSetup-<pid>.exe", or empty when the temporary folder is unknown or
// the path would not fit MAX_PATH.
std::wstring TempInstallerPath();
PathTypeResult QueryPathType(const std::wstring& path);
