// Streams the installer into its temporary file while hashing it with SHA-256 (CNG),
// and keeps the file only when host, size ceiling, digest and size all check out.
#include "net/download.h"

#include <memory>
#include <vector>

#include <windows.h>
#include <bcrypt.h>

#include "common/win_owners.h"
#include "net/https.h"
#include "net/progress.h"
#include "net/trusted_host.h"
#include "pipeline/messages.h"

namespace {

constexpr DWORD ReadBufferBytes = 131072;

void CloseAlgorithmProvider(BCRYPT_ALG_HANDLE provider) { BCryptCloseAlgorithmProvider(provider, 0); }
using UniqueAlgorithmProvider = UniqueNullHandle<BCRYPT_ALG_HANDLE, CloseAlgorithmProvider>;
using UniqueHash = UniqueNullHandle<BCRYPT_HASH_HANDLE, BCryptDestroyHash>;

bool Failed(NTSTATUS status) { return status < 0; }

// The SHA-256 state: the hash object buffer must outlive the hash handle.
struct Sha256 {
    UniqueAlgorithmProvider provider;
    std::vector<UCHAR> object;
    UniqueHash hash;
};

bool PrepareSha256(Sha256& sha, std::wstring& errorText) {
    DWORD objectLength = 0;
    ULONG written = 0;
    if (Failed(BCryptOpenAlgorithmProvider(sha.provider.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        Failed(BCryptGetProperty(sha.provider.get(), BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                                 sizeof(objectLength), &written, 0)) ||
        objectLength == 0) {
        errorText = L"Could not initialize SHA-256 verification.";
        return false;
    }
    sha.object.assign(objectLength, 0);
    if (Failed(BCryptCreateHash(sha.provider.get(), sha.hash.put(), sha.object.data(), objectLength, nullptr, 0,
                                0))) {
        errorText = L"Could not initialize SHA-256 verification.";
        return false;
    }
    return true;
}

// Reads the body to its end, writing and hashing each chunk straight from one buffer.
bool StreamBody(HINTERNET request, HANDLE file, BCRYPT_HASH_HANDLE hash, unsigned char* buffer, std::uint64_t limit,
                std::uint64_t& total, std::wstring& errorText) {
    total = 0;
    PostProgress(5);
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer, ReadBufferBytes, &read)) {
            errorText = L"The installer download was interrupted.";
            return false;
        }
        if (read == 0) return true;
        DWORD written = 0;
        if (!WriteFile(file, buffer, read, &written, nullptr) || written != read) {
            errorText = L"Could not save the installer to disk.";
            return false;
        }
        if (Failed(BCryptHashData(hash, buffer, read, 0))) {
            errorText = L"Could not verify the installer while downloading.";
            return false;
        }
        total += read;
        if (total > MaxInstallerBytes) {
            errorText = L"The installer exceeded the allowed size.";
            return false;
        }
        if (limit != 0) PostProgress(DownloadPercent(total, limit));
    }
}

// The digest decides first; the size only counts when the manifest publishes one.
bool CheckDownloaded(BCRYPT_HASH_HANDLE hash, const std::string& expectedSha256, std::uint64_t expectedSize,
                     std::uint64_t total, std::wstring& errorText) {
    unsigned char digest[32] = {};
    if (Failed(BCryptFinishHash(hash, digest, sizeof(digest), 0))) {
        errorText = L"Could not finish SHA-256 verification.";
        return false;
    }
    std::string expected = expectedSha256;
    for (char& c : expected) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (HexDigest(digest) != expected) {
        errorText = L"Security check failed: installer SHA-256 did not match.";
        return false;
    }
    if (expectedSize != 0 && expectedSize != total) {
        errorText = L"Installer size did not match the published release.";
        return false;
    }
    return true;
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           a.nFileSizeLow == b.nFileSizeLow;
}

// Opens the accepted file again, for reading only and shared for reading only, so that
// nobody can write, rename or delete it until the setup has run. The image loader opens
// it for read and execute sharing read and delete, which this share mode still allows.
// The write handle shared nothing, so the reopen can only follow its close: the file
// index and size prove that what is held is what was written, not a file swapped in
// between. Empty when the file can no longer be vouched for.
UniqueFileHandle HoldWrittenFile(const std::wstring& filePath, const BY_HANDLE_FILE_INFORMATION& written) {
    UniqueFileHandle held(
        CreateFileW(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION reopened{};
    if (!held || !GetFileInformationByHandle(held.get(), &reopened) || !SameFile(written, reopened)) return {};
    return held;
}

}  // namespace

bool DownloadInstaller(const std::wstring& url, const std::string& expectedSha256, const std::wstring& filePath,
                       std::uint64_t expectedSize, UniqueFileHandle& verifiedFile, std::wstring& errorText) {
    if (!IsTrustedHost(url)) {
        errorText = std::wstring(L"The installer URL did not match ") + ServiceHost + L".";
        return false;
    }

    RedirectTrace trace;
    WinHttpHandle root;
    WinHttpHandle connection;
    WinHttpHandle request;
    if (!OpenHttpsRequest(url, root, connection, request, trace, errorText)) return false;

    // Only the last hop is judged, before any body byte is read. A final URL that
    // cannot be known is refused: it may be a redirect we could not see.
    const std::wstring finalUrl = QueryFinalUrl(request.get(), trace);
    if (finalUrl.empty() || !IsTrustedHost(finalUrl)) {
        errorText = std::wstring(L"The installer download redirected outside ") + ServiceHost + L".";
        return false;
    }

    const std::uint64_t announced = QueryContentLength(request.get());
    const std::uint64_t limit = announced != 0 ? announced : expectedSize;
    if (limit > MaxInstallerBytes) {
        errorText = L"The installer is unexpectedly large.";
        return false;
    }

    // Allocated before the file exists; nothing is allocated per chunk.
    const auto buffer = std::make_unique<unsigned char[]>(ReadBufferBytes);  // zero-filled
    // Declared before the file so that, even if an allocation fails below, the file
    // is closed before it is deleted.
    FileRemoval removal;
    UniqueFileHandle file(CreateFileW(filePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr));
    UniqueFileHandle held;  // after the file: released before the removal could delete it
    if (!file) {
        errorText = L"Could not create the temporary installer file.";
        return false;
    }
    removal.reset(filePath.c_str());

    Sha256 sha;
    bool accepted = false;
    if (PrepareSha256(sha, errorText)) {
        std::uint64_t total = 0;
        accepted = StreamBody(request.get(), file.get(), sha.hash.get(), buffer.get(), limit, total, errorText) &&
                   CheckDownloaded(sha.hash.get(), expectedSha256, expectedSize, total, errorText);
    }

    // Common exit: the file is closed before it can be deleted; the hash handle goes
    // before its object buffer; the WinHTTP handles close last, as their owners end.
    FlushFileBuffers(file.get());
    BY_HANDLE_FILE_INFORMATION written{};
    const bool identified = accepted && GetFileInformationByHandle(file.get(), &written);
    file.reset();
    if (accepted) {
        if (identified) held = HoldWrittenFile(filePath, written);
        if (!held) {
            // Verified bytes that cannot be held unchanged until they have run are no
            // longer vouched for: refused like a failed write, and deleted below.
            errorText = L"Could not save the installer to disk.";
            accepted = false;
        }
    }
    sha.hash.reset();
    sha.provider.reset();
    if (accepted) {
        verifiedFile = std::move(held);
        removal.release();
    } else {
        removal.reset();
    }
    sha.object = {};
    return accepted;
}
