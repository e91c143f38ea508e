// Textual Windows path rules: root names, joining, parents and lexical normalisation.
#include "setup/path_rules.h"

#include <cstddef>
#include <vector>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

bool HasDriveDesignator(const std::wstring& path) {
    return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == L':';
}

// Length of the root name: "X:", the "\\?\", "\\.\" and "\??\" prefixes (three
// characters, only when a non-separator or the end follows the fourth), or a
// network root "\\server" up to the next separator. 0 when there is none.
size_t RootNameLength(const std::wstring& path) {
    const size_t size = path.size();
    if (size < 2) return 0;
    if (HasDriveDesignator(path)) return 2;
    if (!IsSeparator(path[0])) return 0;
    if (size >= 4 && IsSeparator(path[3]) && (size == 4 || !IsSeparator(path[4])) &&
        ((IsSeparator(path[1]) && (path[2] == L'?' || path[2] == L'.')) ||
         (path[1] == L'?' && path[2] == L'?'))) {
        return 3;
    }
    if (size >= 3 && IsSeparator(path[1]) && !IsSeparator(path[2])) {
        size_t end = 3;
        while (end < size && !IsSeparator(path[end])) ++end;
        return end;
    }
    return 0;
}

// Where the relative part starts: after the root name and the run of separators after it.
size_t RelativePartStart(const std::wstring& path) {
    size_t start = RootNameLength(path);
    while (start < path.size() && IsSeparator(path[start])) ++start;
    return start;
}

}  // namespace

std::wstring JoinPath(const std::wstring& left, const std::wstring& right) {
    std::wstring joined = left;
    const size_t rootName = RootNameLength(left);
    if (rootName < left.size()) {
        if (!IsSeparator(left.back())) joined += L'\\';
    } else if (rootName > 2) {
        // A network root or device prefix alone still needs its separator; a bare
        // drive does not ("C:name" is relative to that drive's current directory).
        joined += L'\\';
    }
    joined += right;
    return joined;
}

std::wstring ParentPath(const std::wstring& path) {
    const size_t relative = RelativePartStart(path);
    size_t end = path.size();
    while (end > relative && !IsSeparator(path[end - 1])) --end;
    while (end > relative && IsSeparator(path[end - 1])) --end;
    return path.substr(0, end);
}

bool IsAbsolutePath(const std::wstring& path) {
    if (HasDriveDesignator(path)) return path.size() >= 3 && IsSeparator(path[2]);
    return RootNameLength(path) != 0;
}

std::wstring NormalizePath(const std::wstring& path) {
    if (path.empty()) return path;

    const size_t rootName = RootNameLength(path);
    std::wstring normalized = path.substr(0, rootName);
    for (wchar_t& c : normalized) {
        if (c == L'/') c = L'\\';
    }

    // Elements after the root name: an empty string stands for one run of separators.
    std::vector<std::wstring> elements;
    for (size_t next = rootName; next < path.size();) {
        if (IsSeparator(path[next])) {
            if (elements.empty() || !elements.back().empty()) elements.emplace_back();
            ++next;
            continue;
        }
        size_t end = next + 1;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        elements.emplace_back(path, next, end - next);
        next = end;
    }

    // "." goes, with the separator right after it.
    std::vector<std::wstring> kept;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (elements[i] == L".") {
            if (i + 1 < elements.size()) ++i;
            continue;
        }
        kept.push_back(std::move(elements[i]));
    }

    // "name\.." goes, with the separator after "..". Separators and names alternate,
    // so the element two back from a ".." is always a name; scanning forward over
    // the kept output removes chains such as "a\b\..\.." as well.
    std::vector<std::wstring> folded;
    for (size_t i = 0; i < kept.size(); ++i) {
        const size_t count = folded.size();
        if (kept[i] == L".." && count >= 2 && folded[count - 1].empty() && folded[count - 2] != L"..") {
            folded.resize(count - 2);
            if (i + 1 < kept.size()) ++i;
            continue;
        }
        folded.push_back(std::move(kept[i]));
    }

    // ".." directly after the root separator cannot climb any higher.
    size_t first = 0;
    if (!folded.empty() && folded.front().empty()) {
        first = 1;
        while (first < folded.size() && folded[first] == L"..") {
            first += first + 1 < folded.size() ? 2 : 1;
        }
    }

    size_t last = folded.size();
    if (last >= first + 2 && folded[last - 1].empty() && folded[last - 2] == L"..") --last;

    if (first > 0) normalized += L'\\';
    for (size_t i = first; i < last; ++i) {
        normalized += folded[i].empty() ? std::wstring(1, L'\\') : folded[i];
    }
    if (normalized.empty()) normalized = L".";
    return normalized;
}
