// Default install folder, temporary installer path and the file-system type of a path.
#include "setup/locations.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "common/decimal.h"
#include "common/win_owners.h"
#include "setup/path_rules.h"

namespace {

constexpr DWORD EnvironmentBufferChars = 32768;  // the largest environment value, plus its zero
constexpr DWORD TempPathChars = 260;

std::wstring AppDataFromEnvironment() {
    std::wstring buffer(EnvironmentBufferChars, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"APPDATA", buffer.data(), EnvironmentBufferChars);
    if (length == 0 || length >= EnvironmentBufferChars) return {};
    buffer.resize(length);
    return buffer;
}

bool MeansNotFound(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
        return true;
    default:
        return false;
    }
}

PathTypeResult FailedQuery(DWORD error) {
    return {MeansNotFound(error) ? PathType::NotFound : PathType::StatusUnavailable, error};
}

PathTypeResult FromAttributes(DWORD attributes) {
    return {(attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathType::Directory : PathType::RegularFile, 0};
}

}  // namespace

std::wstring DefaultInstallFolder() {
    // The known folder comes first: APPDATA is only a hint the user's environment may
    // have changed. The shell may hand back a buffer even on failure, so it is owned
    // whatever the result.
    UniqueCoTaskMemString known;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, known.put());
    if (SUCCEEDED(result) && known) return std::wstring(known.get());
    return AppDataFromEnvironment();
}

std::wstring TempInstallerPath() {
    wchar_t folder[TempPathChars + 1] = {};
    const DWORD length = GetTempPathW(TempPathChars, folder);
    if (length == 0 || length > TempPathChars) return {};
    const std::wstring name = L"KestravonSetup-" + DecimalText(GetCurrentProcessId()) + L".exe";
    std::wstring path = JoinPath(std::wstring(folder), name);
    // The file is created, started and given to the setup as a plain path, and neither
    // the process loader nor the setup's own file calls take a longer one.
    if (path.size() >= MAX_PATH) return {};
    return path;
}

PathTypeResult QueryPathType(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return FailedQuery(GetLastError());
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return FromAttributes(data.dwFileAttributes);

    // A link's own attributes say nothing about what it points to: open the target
    // (no access rights needed, directories included) and ask it instead.
    UniqueFileHandle target(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!target) return FailedQuery(GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(target.get(), &info)) return FailedQuery(GetLastError());
    return FromAttributes(info.dwFileAttributes);
}
