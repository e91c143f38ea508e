// Helpers for the Windows tests of setup/: scratch folders, the build tree seen from
// Wine, and the reports the stand-in programs write.
#pragma once

#include <windows.h>

#include <string>

// A path inside the build tree (KESTRAVON_BUILD_DIR, a Unix path) as Wine's Z: drive sees it.
std::wstring BuildTreePath(const std::wstring& relative);
// A stand-in program from the build tree's standins folder.
std::wstring StandinPath(const std::wstring& name);

// Creates a fresh folder "<temp>\<name> <pid>-<n>" and removes it with everything in it.
struct ScratchFolder {
    explicit ScratchFolder(const std::wstring& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::wstring path;  // no trailing separator
};

bool CreateFolder(const std::wstring& path);
bool CopyInto(const std::wstring& source, const std::wstring& target);
bool FileExists(const std::wstring& path);
// The whole file read as UTF-16LE text; empty when it cannot be read.
std::wstring ReadUtf16File(const std::wstring& path);
// Polls until the file exists, up to `milliseconds`.
bool WaitForFile(const std::wstring& path, DWORD milliseconds);
// The value of "key=value" in a stand-in report, or empty.
std::wstring ReportField(const std::wstring& report, const std::wstring& key);
