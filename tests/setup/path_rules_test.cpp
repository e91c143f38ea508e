// Path rules, row by row: built natively under the sanitizers and for Windows under Wine.
#include <gtest/gtest.h>

#include <string>

#include "setup/path_rules.h"

namespace {

struct AbsoluteCase {
    const wchar_t* path;
    bool absolute;
};

const AbsoluteCase AbsoluteCases[] = {
    {L"", false},
    {L"a", false},
    {L"C", false},
    {L"C:", false},                // a bare drive designator
    {L"C:a", false},               // relative to the drive's current directory
    {L"C:a\\b", false},
    {L"C:.", false},
    {L"C:\\", true},
    {L"C:/", true},
    {L"c:\\x", true},
    {L"Z:\\Program Files\\Kestravon", true},
    {L"1:\\x", false},             // only ASCII letters make drives
    {L"@:\\x", false},
    {L"[:\\x", false},
    {L"\u00e4:\\x", false},
    {L"::\\", false},
    {L"\\", false},
    {L"/", false},
    {L"\\x", false},               // one leading separator: relative to the current drive
    {L"/x/y", false},
    {L".\\x", false},
    {L"..\\x", false},
    {L"\\\\", false},              // two separators and nothing more
    {L"\\\\\\x", false},           // three separators: no server
    {L"\\\\server", true},
    {L"\\\\server\\share", true},
    {L"//server/share", true},
    {L"\\/server\\share", true},
    {L"\\\\?\\C:\\x", true},
    {L"\\\\?\\", true},
    {L"\\\\.\\pipe\\x", true},
    {L"\\\\.\\", true},
    {L"\\??\\C:\\x", true},
    {L"/?\?/C:/x", true},
    {L"\\??\\", true},
    {L"\\??", false},              // too short for the prefix, and '?' is no separator
    {L"\\??\\\\x", false},         // a separator after the prefix: not a prefix
    {L"\\\\?\\\\x", true},         // ...but "\\?" still reads as a network root
    {L"\\\\?", true},
    {L"\\\\.", true},
    {L"\\?\\x", false},
    {L"??\\x", false},
};

TEST(PathRulesTest, IsAbsolutePath) {
    for (const AbsoluteCase& row : AbsoluteCases) {
        EXPECT_EQ(IsAbsolutePath(row.path), row.absolute) << "path: " << testing::PrintToString(std::wstring(row.path));
    }
}

struct TransformCase {
    const wchar_t* path;
    const wchar_t* expected;
};

const TransformCase ParentCases[] = {
    {L"", L""},
    {L"a", L""},
    {L"a\\b", L"a"},
    {L"a\\b\\", L"a\\b"},          // a trailing separator goes alone
    {L"a\\\\b", L"a"},
    {L"a/b/c//", L"a/b/c"},
    {L"..\\..", L".."},
    {L"C:", L"C:"},
    {L"C:a", L"C:"},
    {L"C:a\\b", L"C:a"},
    {L"C:\\", L"C:\\"},
    {L"C:\\a", L"C:\\"},           // a file in a drive root: the root with its separator
    {L"C:\\a\\", L"C:\\a"},
    {L"C:\\a\\b", L"C:\\a"},
    {L"C:/a/b", L"C:/a"},
    {L"C:\\\\a", L"C:\\\\"},       // the whole root separator run stays
    {L"C:\\a\\..", L"C:\\a"},
    {L"\\", L"\\"},
    {L"/", L"/"},
    {L"\\x", L"\\"},
    {L"\\\\\\x", L"\\\\\\"},
    {L"\\\\server", L"\\\\server"},
    {L"\\\\server\\", L"\\\\server\\"},
    {L"\\\\server\\share", L"\\\\server\\"},
    {L"\\\\server\\share\\x", L"\\\\server\\share"},
    {L"\\\\?\\C:\\x", L"\\\\?\\C:"},
    {L"\\\\?\\C:", L"\\\\?\\"},
    {L"\\\\?\\", L"\\\\?\\"},
    {L"\\??\\x", L"\\??\\"},
    {L"\\\\.\\pipe", L"\\\\.\\"},
    {L"C:\\Users\\A\\AppData\\Local\\Temp\\KestravonSetup-42.exe", L"C:\\Users\\A\\AppData\\Local\\Temp"},
};

TEST(PathRulesTest, ParentPath) {
    for (const TransformCase& row : ParentCases) {
        EXPECT_EQ(ParentPath(row.path), row.expected) << "path: " << testing::PrintToString(std::wstring(row.path));
    }
}

struct JoinCase {
    const wchar_t* left;
    const wchar_t* right;
    const wchar_t* expected;
};

const JoinCase JoinCases[] = {
    {L"", L"x", L"x"},
    {L"C:", L"x", L"C:x"},                          // a bare drive takes no separator
    {L"C:\\", L"x", L"C:\\x"},
    {L"C:/", L"x", L"C:/x"},
    {L"C:\\a", L"x", L"C:\\a\\x"},
    {L"C:\\a\\", L"x", L"C:\\a\\x"},
    {L"C:\\a/", L"x", L"C:\\a/x"},
    {L"C:a", L"x", L"C:a\\x"},
    {L"a", L"b", L"a\\b"},
    {L"\\", L"b", L"\\b"},
    {L"\\\\server", L"x", L"\\\\server\\x"},        // a network root alone gets one
    {L"\\\\server\\share", L"x", L"\\\\server\\share\\x"},
    {L"\\\\?", L"x", L"\\\\?\\x"},
    {L"\\\\?\\", L"x", L"\\\\?\\x"},
    {L"\\\\?\\C:", L"x", L"\\\\?\\C:\\x"},
    {L"C:\\Users\\A\\AppData\\Roaming", L"Kestravon", L"C:\\Users\\A\\AppData\\Roaming\\Kestravon"},
    {L"C:\\Temp\\", L"KestravonSetup-7.exe", L"C:\\Temp\\KestravonSetup-7.exe"},
};

TEST(PathRulesTest, JoinPath) {
    for (const JoinCase& row : JoinCases) {
        EXPECT_EQ(JoinPath(row.left, row.right), row.expected)
            << "left: " << testing::PrintToString(std::wstring(row.left))
            << " right: " << testing::PrintToString(std::wstring(row.right));
    }
}

const TransformCase NormalizeCases[] = {
    {L"", L""},
    {L".", L"."},
    {L"./", L"."},
    {L".\\.\\", L"."},
    {L"./a", L"a"},
    {L"..", L".."},
    {L"../", L".."},                               // a trailing separator after ".." goes
    {L"a/..", L"."},
    {L"a/../", L"."},
    {L"a/../..", L".."},
    {L"a\\..\\..\\b", L"..\\b"},
    {L"..\\a\\..\\b", L"..\\b"},
    {L"..\\..\\a", L"..\\..\\a"},
    {L"a\\b\\..\\..\\..", L".."},
    {L"a/b/../../../c/./d/", L"..\\c\\d\\"},
    {L"a/./b", L"a\\b"},
    {L"a\\.\\.\\b", L"a\\b"},
    {L"a//b", L"a\\b"},
    {L"a\\b\\", L"a\\b\\"},                        // after an ordinary name it survives
    {L"...\\x", L"...\\x"},
    {L"..a\\..\\b", L"b"},
    {L"./C:/x", L"C:\\x"},                        // a drive surfaces from a relative path
    {L"C:", L"C:"},
    {L"C:.", L"C:"},
    {L"C:/", L"C:\\"},
    {L"C:..", L"C:.."},
    {L"C:..\\a", L"C:..\\a"},
    {L"C:a\\..", L"C:"},
    {L"C:a\\..\\..", L"C:.."},
    {L"C:/a/b", L"C:\\a\\b"},
    {L"c:\\A\\B", L"c:\\A\\B"},
    {L"C:\\a\\..\\b", L"C:\\b"},
    {L"C:\\..", L"C:\\"},
    {L"C:\\..\\..", L"C:\\"},
    {L"C:\\..\\a", L"C:\\a"},
    {L"C:\\a\\b\\..\\..\\..", L"C:\\"},
    {L"C:\\..\\..\\x\\..\\", L"C:\\"},
    {L"C:\\a\\\\", L"C:\\a\\"},
    {L"C:\\a\\.\\", L"C:\\a\\"},
    {L"C:\\a\\.", L"C:\\a\\"},
    {L"C:\\\\\\a", L"C:\\a"},
    {L"C:\\Program Files\\Kestravon\\..\\Kestravon", L"C:\\Program Files\\Kestravon"},
    {L"C:/Users/A B/./Kestravon//", L"C:\\Users\\A B\\Kestravon\\"},
    {L"\\..\\a", L"\\a"},
    {L"\\..", L"\\"},
    {L"/a/./b/../c/", L"\\a\\c\\"},
    {L"\\\\\\x", L"\\x"},
    {L"//server/share/../x", L"\\\\server\\x"},
    {L"//server/..", L"\\\\server\\"},
    {L"\\\\server\\\\share", L"\\\\server\\share"},
    {L"\\/server/share", L"\\\\server\\share"},
    {L"\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\b"},
    {L"\\\\?\\C:\\..", L"\\\\?\\"},
    {L"\\\\?\\\\x", L"\\\\?\\x"},
    {L"/?\?/C:/x", L"\\??\\C:\\x"},
    {L"\\\\.\\pipe/x", L"\\\\.\\pipe\\x"},
};

TEST(PathRulesTest, NormalizePath) {
    for (const TransformCase& row : NormalizeCases) {
        EXPECT_EQ(NormalizePath(row.path), row.expected) << "path: " << testing::PrintToString(std::wstring(row.path));
        EXPECT_EQ(NormalizePath(row.expected), row.expected)
            << "normal form changed again: " << testing::PrintToString(std::wstring(row.expected));
    }
}

}  // namespace
