// Default install folder, temporary installer path and sweep, and the file-system type of a path.
#include "setup/locations.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <string>

#include "common/decimal.h"
#include "common/win_owners.h"
#include "setup/path_rules.h"

namespace {

constexpr DWORD EnvironmentBufferChars = 32768;  // the largest environment value, plus its zero
constexpr DWORD TempPathChars = 260;
constexpr wchar_t InstallerFilePrefix[] = L"KestravonSetup-";  // then the process id in decimal
constexpr wchar_t InstallerFileSuffix[] = L".exe";

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

// GetTempPathW's folder, or empty.
std::wstring TempFolder() {
    wchar_t folder[TempPathChars + 1] = {};
    const DWORD length = GetTempPathW(TempPathChars, folder);
    if (length == 0 || length > TempPathChars) return {};
    return folder;
}

std::wstring InstallerFileName(DWORD processId) {
    return InstallerFilePrefix + DecimalText(processId) + InstallerFileSuffix;
}

// `name` past `prefix` when it begins with it, else null.
const wchar_t* After(const wchar_t* name, const wchar_t* prefix) {
    for (; *prefix != L'\0'; ++prefix, ++name) {
        if (*name != *prefix) return nullptr;
    }
    return name;
}

// The process id in `name` when InstallerFileName wrote it exactly so (no leading zero), else 0.
DWORD InstallerFileProcessId(const wchar_t* name) {
    name = After(name, InstallerFilePrefix);
    if (!name || *name == L'0') return 0;
    std::uint64_t id = 0;
    for (; *name >= L'0' && *name <= L'9' && id <= MAXDWORD; ++name) {
        id = id * 10 + static_cast<std::uint64_t>(*name - L'0');
    }
    name = After(name, InstallerFileSuffix);
    return id <= MAXDWORD && name && *name == L'\0' ? static_cast<DWORD>(id) : 0;
}

// A process that cannot be asked counts as running.
bool ProcessRuns(DWORD id) {
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
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
    const std::wstring folder = TempFolder();
    if (folder.empty()) return {};
    std::wstring path = JoinPath(folder, InstallerFileName(GetCurrentProcessId()));
    // The file is created, started and given to the setup as a plain path, and neither
    // the process loader nor the setup's own file calls take a longer one.
    if (path.size() >= MAX_PATH) return {};
    return path;
}

void DeleteStaleInstallerFiles() {
    std::wstring path = TempFolder();  // ends with its separator
    const std::size_t folderLength = path.size();
    if (folderLength == 0) return;
    path += InstallerFilePrefix;
    path += L'*';
    path += InstallerFileSuffix;
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(FindFirstFileW(path.c_str(), &found));
    if (!search) return;
    do {
        // The pattern is a first sieve only (any case and any middle pass, and FindFirstFileW
        // also tries 8.3 names): the name must be exactly one this installer writes. A running
        // installer's file is passed over by its process id, not only by its handles: between
        // its download's close and its hold it has none, for some microseconds.
        const DWORD id = InstallerFileProcessId(found.cFileName);
        if (id == 0 || ProcessRuns(id)) continue;
        path.resize(folderLength);
        path += found.cFileName;
        DeleteFileW(path.c_str());
    } while (FindNextFileW(search.get(), &found));
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
