// Where things live on this machine: the default install folder, the temporary
// installer file (and the stale ones of ended runs), and what kind of entry a path names.
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
// Deletes the temporary installer files of runs that were ended before they could delete
// theirs: named for a process that no longer runs and held open by nobody. Failures are ignored.
void DeleteStaleInstallerFiles();
PathTypeResult QueryPathType(const std::wstring& path);
