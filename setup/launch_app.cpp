// Opens the installed application from the install folder through the shell.
#include "setup/launch_app.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

#include "setup/locations.h"
#include "setup/path_rules.h"

bool LaunchInstalledApp(const std::wstring& folder) {
    if (folder.empty()) return false;

    const std::wstring candidates[] = {JoinPath(folder, L"kestravon.exe"), JoinPath(folder, L"Kestravon.exe")};
    for (const std::wstring& candidate : candidates) {
        const PathTypeResult type = QueryPathType(candidate);
        if (type.type != PathType::RegularFile || type.errorCode != 0) continue;
        HINSTANCE result =
            ShellExecuteW(nullptr, L"open", candidate.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
        // Values above 32 mean success; the rest are SE_ERR_* codes dressed as a handle.
        if (reinterpret_cast<intptr_t>(result) > 32) return true;
    }
    return false;
}
