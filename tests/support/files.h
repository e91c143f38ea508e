// Files, folders and digests for Windows tests: whole-file reads and writes, presence and
// size, scratch folders, stand-in reports, and SHA-256 apart from the product's.
#pragma once

#include <windows.h>

#include <string>

// The whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);
// The whole file read as UTF-16LE text; empty when it cannot be read.
std::wstring ReadUtf16File(const std::wstring& path);
// Creates or replaces the file with exactly `bytes`.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// Leaves the 8 bytes "sentinel" at `path`, replacing whatever was there.
bool WriteSentinel(const std::wstring& path);
// The file's size, or -1 when nothing is there.
long long FileSize(const std::wstring& path);
bool CreateFolder(const std::wstring& path);
bool CopyInto(const std::wstring& source, const std::wstring& target);
// A file (not a folder) is there.
bool FileExists(const std::wstring& path);
// Polls until the file exists, up to `timeoutMs`.
bool WaitForFile(const std::wstring& path, DWORD timeoutMs);
// The value of "key=value" in a stand-in's report (CR LF lines), or empty.
std::wstring ReportField(const std::wstring& report, const std::wstring& key);
// Lower-case hex SHA-256 of `data` in one CNG call; empty on failure.
std::string Sha256Hex(const std::string& data);

// Creates a fresh folder "<temp>\<name>-<pid>-<n>" and removes it with everything in it.
struct ScratchFolder {
    explicit ScratchFolder(const std::wstring& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::wstring path;  // no trailing separator
};
