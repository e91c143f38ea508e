// Starts the downloaded setup program with /S /D=<folder>, waits for it and reads its exit code.
#include "setup/run_setup.h"

#include "common/decimal.h"
#include "common/win_owners.h"
#include "setup/path_rules.h"

namespace {

// "/D=" takes the rest of the line verbatim, so trailing separators are dropped here;
// a drive root ("C:\") keeps its only one.
std::wstring TargetFolder(const std::wstring& installFolder) {
    std::wstring target = NormalizePath(installFolder);
    while (target.size() > 3 && (target.back() == L'\\' || target.back() == L'/')) target.pop_back();
    return target;
}

}  // namespace

bool RunSetup(const std::wstring& installerPath, const std::wstring& installFolder, DWORD& exitCode,
              ErrorText& errorText) {
    if (installFolder.empty() || !IsAbsolutePath(installFolder)) {
        return Fail(errorText, L"Choose a valid installation folder.");
    }

    // The folder is deliberately unquoted and last: the setup program reads /D= to the
    // end of the line, spaces included.
    // CreateProcessW may write into its command line, so it gets this private, writable
    // string (its buffer ends in a zero), never a caller's.
    std::wstring commandLine = L"\"" + installerPath + L"\" /S /D=" + TargetFolder(installFolder);

    // A bare file name has no parent; an empty directory names no folder at all, so
    // the setup then inherits ours instead.
    const std::wstring directory = ParentPath(installerPath);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(installerPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
        return Fail(errorText, L"Could not start the Kestravon installer.", GetLastError());
    }
    const UniqueHandle process(info.hProcess);
    CloseHandle(info.hThread);  // nothing waits on the setup's thread

    WaitForSingleObject(process.get(), INFINITE);
    if (!GetExitCodeProcess(process.get(), &exitCode)) exitCode = 1;
    if (exitCode == 0) return true;
    return Fail(errorText, L"Setup stopped with code " + DecimalText(exitCode) + L".");
}
