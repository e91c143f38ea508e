// Files, folders and digests for Windows tests.
#include "tests/support/files.h"

#include "common/win_owners.h"
#include "net/download.h"

namespace {

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::string ReadWholeFile(const std::wstring& path) {
    // Shared for writing and deleting: a stand-in may still hold its report.
    constexpr DWORD Share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueFileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, Share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

std::wstring ReadUtf16File(const std::wstring& path) {
    const std::string bytes = ReadWholeFile(path);
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return text;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    UniqueFileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool WriteSentinel(const std::wstring& path) { return WriteWholeFile(path, "sentinel"); }

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool CreateFolder(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != FALSE; }

bool CopyInto(const std::wstring& source, const std::wstring& target) {
    return CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!FileExists(path)) {
        if (GetTickCount64() > deadline) return false;
        Sleep(50);
    }
    return true;
}

std::wstring ReportField(const std::wstring& report, const std::wstring& key) {
    const std::wstring prefix = key + L"=";
    for (size_t start = 0; start < report.size();) {
        size_t end = report.find(L"\r\n", start);
        if (end == std::wstring::npos) end = report.size();
        if (report.compare(start, prefix.size(), prefix) == 0) {
            return report.substr(start + prefix.size(), end - start - prefix.size());
        }
        start = end + 2;
    }
    return {};
}

std::string Sha256Hex(const std::string& data) {
    UniqueAlgorithmProvider algorithm;
    if (BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return std::string();
    std::string copy = data;  // BCryptHash takes a writable buffer
    unsigned char digest[32] = {};
    if (BCryptHash(algorithm.get(), nullptr, 0, reinterpret_cast<PUCHAR>(copy.data()), static_cast<ULONG>(copy.size()),
                   digest, sizeof(digest)) != 0) {
        return std::string();
    }
    return HexDigest(digest);
}

ScratchFolder::ScratchFolder(const std::wstring& name) {
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path = std::wstring(temp) + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
    RemoveTree(path);
    CreateDirectoryW(path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path); }
