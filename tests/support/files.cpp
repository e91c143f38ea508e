// Whole-file reads and one-call SHA-256 for Windows tests.
#include "tests/support/files.h"

#include "common/win_owners.h"
#include "net/download.h"

std::string ReadWholeFile(const std::wstring& path) {
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
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
