// Fuzzes the path rules over a small alphabet of the characters that give paths their
// structure, and checks what the rules promise for every input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "setup/path_rules.h"

namespace {

// Bytes of these characters stand for themselves, so seeds stay readable; any other
// byte is folded onto the alphabet.
constexpr wchar_t Alphabet[] = L"\\/.:?aCb Z";
constexpr size_t AlphabetSize = sizeof(Alphabet) / sizeof(Alphabet[0]) - 1;

wchar_t ToPathChar(uint8_t byte) {
    for (size_t i = 0; i < AlphabetSize; ++i) {
        if (Alphabet[i] == static_cast<wchar_t>(byte)) return Alphabet[i];
    }
    return Alphabet[byte % AlphabetSize];
}

std::wstring ToPath(const uint8_t* data, size_t size) {
    std::wstring path;
    for (size_t i = 0; i < size; ++i) path += ToPathChar(data[i]);
    return path;
}

void Check(bool condition, const char* what, const std::wstring& path) {
    if (condition) return;
    std::fprintf(stderr, "path rule broken: %s\n  path: \"%ls\"\n", what, path.c_str());
    std::abort();
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool StartsWithDrive(const std::wstring& path) {
    return path.size() >= 2 && path[1] == L':' &&
           ((path[0] >= L'a' && path[0] <= L'z') || (path[0] >= L'A' && path[0] <= L'Z'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring path = ToPath(data, size);

    const std::wstring normal = NormalizePath(path);
    Check(normal.empty() == path.empty(), "NormalizePath is empty exactly for the empty path", path);
    Check(normal.find(L'/') == std::wstring::npos, "NormalizePath leaves no forward slash", path);
    // A relative path can bring a drive designator to the front ("./C:./x" gives "C:.\x"),
    // which a second pass reads as a root name; otherwise the normal form is stable.
    const bool driveSurfaced = StartsWithDrive(normal) && !StartsWithDrive(path);
    Check(driveSurfaced || NormalizePath(normal) == normal, "NormalizePath is idempotent", path);
    Check(!IsAbsolutePath(path) || IsAbsolutePath(normal), "NormalizePath keeps absolute paths absolute", path);

    const std::wstring parent = ParentPath(path);
    Check(StartsWith(path, parent), "ParentPath is a prefix of its path", path);
    Check(!IsAbsolutePath(path) || IsAbsolutePath(parent), "ParentPath keeps absolute paths absolute", path);

    // "left|right" joins the two sides; without a '|' the path takes a plain name.
    std::wstring left = path;
    std::wstring right = L"Kestravon";
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != '|') continue;
        left = path.substr(0, i);
        right = path.substr(i + 1);
        break;
    }
    const std::wstring joined = JoinPath(left, right);
    Check(StartsWith(joined, left) && EndsWith(joined, right), "JoinPath keeps both sides", path);
    Check(joined.size() - left.size() - right.size() <= 1, "JoinPath adds at most one separator", path);
    return 0;
}
