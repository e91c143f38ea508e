// Default install folder, temporary installer path and path types, on a real (Wine) file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/locations.h"
#include "tests/support/environment.h"
#include "tests/support/files.h"

namespace {

TEST(LocationsTest, DefaultInstallFolderPrefersTheKnownFolderOverAppData) {
    const std::wstring known = DefaultInstallFolder();
    ASSERT_FALSE(known.empty());
    EXPECT_EQ(QueryPathType(known).type, PathType::Directory) << testing::PrintToString(known);

    ScopedEnvironment appData(L"APPDATA", L"C:\\elsewhere\\Roaming");
    EXPECT_EQ(DefaultInstallFolder(), known);
    ScopedEnvironment noAppData(L"APPDATA", nullptr);
    EXPECT_EQ(DefaultInstallFolder(), known);
}

struct TempCase {
    const wchar_t* tmp;   // nullptr: unset
    const wchar_t* temp;  // nullptr: unset
    const wchar_t* folder;
};

const TempCase TempCases[] = {
    {L"C:\\kestravon temp", L"C:\\unused", L"C:\\kestravon temp\\"},
    {L"C:\\kestravon temp\\", nullptr, L"C:\\kestravon temp\\"},  // no second separator
    {nullptr, L"D:\\from temp", L"D:\\from temp\\"},
    {L"C:\\", nullptr, L"C:\\"},
};

TEST(LocationsTest, TempInstallerPathIsTheTempFolderAndProcessId) {
    const std::wstring name = L"KestravonSetup-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    for (const TempCase& row : TempCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.folder)));
        ScopedEnvironment tmp(L"TMP", row.tmp);
        ScopedEnvironment temp(L"TEMP", row.temp);
        EXPECT_EQ(TempInstallerPath(), std::wstring(row.folder) + name);
    }
}

// Refused when GetTempPathW cannot give the folder, and when the file's path would
// reach MAX_PATH: the setup is created and started as a plain path.
TEST(LocationsTest, TempInstallerPathIsEmptyWhenTheTempFolderIsTooLong) {
    const std::wstring name = L"KestravonSetup-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    // "C:\" + n letters + "\" + name: n letters make a path of n + 4 + name characters.
    const std::size_t longestFitting = MAX_PATH - 1 - 4 - name.size();
    struct Row {
        std::size_t letters;
        bool accepted;
    };
    for (const Row row : {Row{longestFitting, true}, Row{longestFitting + 1, false}, Row{252, false},
                          Row{300, false}}) {
        SCOPED_TRACE(row.letters);
        const std::wstring folder = L"C:\\" + std::wstring(row.letters, L'k');
        ScopedEnvironment tmp(L"TMP", folder.c_str());
        std::wstring expected = folder;
        expected.append(L"\\").append(name);
        EXPECT_EQ(TempInstallerPath(), row.accepted ? expected : L"");
    }
}

TEST(LocationsTest, QueryPathType) {
    ScratchFolder scratch(L"kestravon types");
    const std::wstring file = scratch.path + L"\\setup file.exe";
    const std::wstring folder = scratch.path + L"\\a folder";
    ASSERT_TRUE(CopyInto(StandinPath(L"setup-standin.exe"), file));
    ASSERT_TRUE(CreateFolder(folder));

    struct Row {
        std::wstring path;
        PathType type;
        std::vector<DWORD> errorCodes;  // any of these
    };
    const Row rows[] = {
        {file, PathType::RegularFile, {0}},
        {folder, PathType::Directory, {0}},
        {folder + L"\\", PathType::Directory, {0}},
        {scratch.path + L"\\missing.exe", PathType::NotFound, {ERROR_FILE_NOT_FOUND}},
        {scratch.path + L"\\missing\\setup.exe", PathType::NotFound, {ERROR_PATH_NOT_FOUND}},
        // A file used as a folder: Windows says "path not found" or "directory name invalid".
        {file + L"\\inner.exe", PathType::NotFound, {ERROR_PATH_NOT_FOUND, ERROR_DIRECTORY, ERROR_FILE_NOT_FOUND}},
        {scratch.path + L"\\bad<name>.exe", PathType::NotFound, {ERROR_INVALID_NAME}},
        {scratch.path + L"\\bad?name.exe", PathType::NotFound, {ERROR_INVALID_NAME}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.path));
        const PathTypeResult result = QueryPathType(row.path);
        EXPECT_EQ(result.type, row.type);
        EXPECT_NE(std::find(row.errorCodes.begin(), row.errorCodes.end(), result.errorCode), row.errorCodes.end())
            << "error code " << result.errorCode;
    }
}

TEST(LocationsTest, QueryPathTypeFollowsLinksToTheirTarget) {
    ScratchFolder scratch(L"kestravon links");
    const std::wstring file = scratch.path + L"\\target.exe";
    const std::wstring folder = scratch.path + L"\\target folder";
    ASSERT_TRUE(CopyInto(StandinPath(L"setup-standin.exe"), file));
    ASSERT_TRUE(CreateFolder(folder));
    const std::wstring fileLink = scratch.path + L"\\file link.exe";
    const std::wstring folderLink = scratch.path + L"\\folder link";
    const std::wstring danglingLink = scratch.path + L"\\dangling link.exe";
    constexpr DWORD Unprivileged = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    // Wine 8's CreateSymbolicLinkW is a stub that reports success and creates nothing.
    const bool linked = CreateSymbolicLinkW(fileLink.c_str(), file.c_str(), Unprivileged) &&
                        GetFileAttributesW(fileLink.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!linked) GTEST_SKIP() << "symbolic links cannot be created here";
    ASSERT_TRUE(CreateSymbolicLinkW(folderLink.c_str(), folder.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | Unprivileged));
    ASSERT_TRUE(CreateSymbolicLinkW(danglingLink.c_str(), (scratch.path + L"\\gone.exe").c_str(), Unprivileged));

    EXPECT_EQ(QueryPathType(fileLink).type, PathType::RegularFile);
    EXPECT_EQ(QueryPathType(folderLink).type, PathType::Directory);
    const PathTypeResult dangling = QueryPathType(danglingLink);
    EXPECT_EQ(dangling.type, PathType::NotFound);
    EXPECT_EQ(dangling.errorCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
