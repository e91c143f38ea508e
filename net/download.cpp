// Streams the installer into its temporary file, then holds it and hashes what is held
// with SHA-256 (CNG): host, size ceiling, digest and size must all check out.
#include "net/download.h"

#include <memory>

#include "net/https.h"
#include "net/progress.h"
#include "net/trusted_host.h"

namespace {

constexpr DWORD ReadBufferBytes = 131072;

bool Failed(NTSTATUS status) { return status < 0; }

// CNG keeps the hash object itself when given no buffer for it.
bool PrepareSha256(UniqueHash& hash, ErrorText& errorText) {
    const NTSTATUS status = BCryptCreateHash(Sha256Algorithm(), hash.put(), nullptr, 0, nullptr, 0, 0);
    if (!Failed(status)) return true;
    return Fail(errorText, L"Could not initialize SHA-256 verification.", static_cast<DWORD>(status));
}

// Reads the body to its end and writes each chunk from one buffer.
bool StreamBody(HINTERNET request, HANDLE file, unsigned char* buffer, std::uint64_t limit,
                const DownloadProgress& progress, const StallBound& stall, ErrorText& errorText) {
    const auto report = [&progress](int percent) {
        if (progress.report) progress.report(progress.context, percent);
    };
    report(5);
    std::uint64_t total = 0;
    StallWatch watch{stall};
    for (;;) {
        DWORD read = 0;
        if (!ReadBodyPiece(request, buffer, ReadBufferBytes, read, watch)) {
            return Fail(errorText, L"The installer download was interrupted.", GetLastError());
        }
        if (read == 0) return true;
        DWORD written = 0;
        if (!WriteFile(file, buffer, read, &written, nullptr) || written != read) {
            return Fail(errorText, L"Could not save the installer to disk.", GetLastError());
        }
        total += read;
        if (total > MaxInstallerBytes) return Fail(errorText, L"The installer exceeded the allowed size.");
        if (limit != 0) report(DownloadPercent(total, limit));
    }
}

// Hashes and counts the held file from its first byte: these are the bytes that run.
bool HashHeldFile(HANDLE held, BCRYPT_HASH_HANDLE hash, unsigned char* buffer, std::uint64_t& total,
                  ErrorText& errorText) {
    total = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(held, buffer, ReadBufferBytes, &read, nullptr)) {
            return Fail(errorText, L"Could not save the installer to disk.", GetLastError());
        }
        if (read == 0) return true;
        const NTSTATUS status = BCryptHashData(hash, buffer, read, 0);
        if (Failed(status)) {
            return Fail(errorText, L"Could not verify the installer while downloading.", static_cast<DWORD>(status));
        }
        total += read;
    }
}

// The digest decides first; the size only counts when the manifest publishes one.
bool CheckDownloaded(BCRYPT_HASH_HANDLE hash, const std::string& expectedSha256, std::uint64_t expectedSize,
                     std::uint64_t total, ErrorText& errorText) {
    unsigned char digest[32] = {};
    const NTSTATUS status = BCryptFinishHash(hash, digest, sizeof(digest), 0);
    if (Failed(status)) return Fail(errorText, L"Could not finish SHA-256 verification.", static_cast<DWORD>(status));
    std::string expected = expectedSha256;
    for (char& c : expected) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (HexDigest(digest) != expected) {
        return Fail(errorText, DigestMismatch);
    }
    if (expectedSize != 0 && expectedSize != total) {
        return Fail(errorText, SizeMismatch);
    }
    return true;
}

}  // namespace

bool DownloadInstaller(const std::wstring& url, const std::string& expectedSha256, const std::wstring& filePath,
                       std::uint64_t expectedSize, const DownloadProgress& progress, UniqueFileHandle& verifiedFile,
                       ErrorText& errorText, const StallBound& stall) {
    if (!IsTrustedHost(url)) {
        return Fail(errorText, std::wstring(L"The installer URL did not match ") + ServiceHost + L".");
    }

    HttpsRequest https;
    if (!OpenHttpsRequest(url, https, errorText)) return false;

    // Only the last hop is judged, before any body byte is read. A final URL that
    // cannot be known is refused: it may be a redirect we could not see.
    const std::wstring finalUrl = QueryFinalUrl(https.request.get(), https.trace);
    if (finalUrl.empty() || !IsTrustedHost(finalUrl)) {
        return Fail(errorText, std::wstring(L"The installer download redirected outside ") + ServiceHost + L".");
    }

    const std::uint64_t announced = QueryContentLength(https.request.get());
    const std::uint64_t limit = announced != 0 ? announced : expectedSize;
    if (limit > MaxInstallerBytes) return Fail(errorText, L"The installer is unexpectedly large.");

    // Allocated before the file exists (its removal's copy of the path too), so that no
    // allocation can fail between creating the file and arming its removal; nothing is
    // allocated per chunk.
    const auto buffer = std::make_unique<unsigned char[]>(ReadBufferBytes);  // zero-filled
    std::wstring removalPath = filePath;
    // Declared before the handles, so that whatever happens the file is closed before
    // it is deleted.
    FileRemoval removal;
    UniqueFileHandle written(CreateFileW(filePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr));
    if (!written) return Fail(errorText, L"Could not create the temporary installer file.", GetLastError());
    removal.reset(std::move(removalPath));

    UniqueHash hash;
    if (!PrepareSha256(hash, errorText) ||
        !StreamBody(https.request.get(), written.get(), buffer.get(), limit, progress, stall, errorText)) {
        return false;
    }
    FlushFileBuffers(written.get());
    written.reset();

    // Held for reading and shared for reading only: from here until the setup has run
    // nobody can write, rename or delete the file; the image loader, which opens it for
    // read and execute sharing read and delete, still can. A process that opened it
    // between the close above and this open still has it open for writing, so this
    // open fails; one that changed it and closed again is caught by the digest, which
    // is taken through this handle. No moment between the check and the run is open.
    UniqueFileHandle held(
        CreateFileW(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                    nullptr));
    if (!held) return Fail(errorText, L"Could not save the installer to disk.", GetLastError());
    std::uint64_t total = 0;
    if (!HashHeldFile(held.get(), hash.get(), buffer.get(), total, errorText) ||
        !CheckDownloaded(hash.get(), expectedSha256, expectedSize, total, errorText)) {
        return false;
    }
    SetFilePointerEx(held.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN);  // left as opened, for later readers
    verifiedFile = std::move(held);
    static_cast<void>(removal.release());  // the caller runs and then deletes it
    return true;
}
