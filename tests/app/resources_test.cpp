// The built KestravonInstaller.exe's icon group, application manifest and version block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "common/owners.h"
#include "tests/support/environment.h"

namespace {

using UniqueModule = UniqueNullHandle<HMODULE, FreeLibrary>;

constexpr WORD EnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

struct Resource {
    const unsigned char* data = nullptr;
    DWORD size = 0;
};

Resource FindEnglish(HMODULE module, LPCWSTR type, LPCWSTR name) {
    HRSRC info = FindResourceExW(module, type, name, EnglishUs);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(module, info);
    if (!loaded) return {};
    return {static_cast<const unsigned char*>(LockResource(loaded)), SizeofResource(module, info)};
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = InstallerExePath();
        ASSERT_FALSE(path.empty()) << "KESTRAVON_BUILD_DIR is not set";
        module.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module) << "cannot load the installer, error " << GetLastError();
    }
    std::wstring path;
    UniqueModule module;
};

TEST_F(ResourcesTest, IconGroupHasSevenPngImagesFrom16To256) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module.get(), RT_GROUP_ICON, MAKEINTRESOURCEW(101), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{EnglishUs});

    const Resource group = FindEnglish(module.get(), RT_GROUP_ICON, MAKEINTRESOURCEW(101));
    ASSERT_NE(group.data, nullptr);
    ASSERT_GE(group.size, sizeof(GroupIconHeader));
    GroupIconHeader header;
    std::memcpy(&header, group.data, sizeof(header));
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(header.count, 7);
    ASSERT_EQ(group.size, sizeof(GroupIconHeader) + 7 * sizeof(GroupIconEntry));

    const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
    std::vector<int> seen;
    for (int i = 0; i < 7; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data + sizeof(header) + i * sizeof(entry), sizeof(entry));
        const int side = entry.width == 0 ? 256 : entry.width;
        SCOPED_TRACE(side);
        seen.push_back(side);
        EXPECT_EQ(entry.height, entry.width);  // 256 written as 0 in both
        EXPECT_EQ(entry.bitCount, 32);
        EXPECT_EQ(entry.planes, 1);

        const Resource image = FindEnglish(module.get(), RT_ICON, MAKEINTRESOURCEW(entry.id));
        ASSERT_NE(image.data, nullptr);
        EXPECT_EQ(image.size, entry.bytesInRes);
        ASSERT_GE(image.size, 33u);
        static const unsigned char PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        ASSERT_EQ(std::memcmp(image.data, PngSignature, 8), 0);
        ASSERT_EQ(std::memcmp(image.data + 12, "IHDR", 4), 0);
        EXPECT_EQ(BigEndian32(image.data + 16), static_cast<std::uint32_t>(side));
        EXPECT_EQ(BigEndian32(image.data + 20), static_cast<std::uint32_t>(side));
        EXPECT_EQ(image.data[24], 8);  // bits per channel
        EXPECT_EQ(image.data[25], 6);  // RGBA
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_TRUE(std::equal(seen.begin(), seen.end(), std::begin(sizes), std::end(sizes)));
}

TEST_F(ResourcesTest, ManifestAsksForInvokerRightsAndNoDpiAwareness) {
    const Resource manifest = FindEnglish(module.get(), MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    ASSERT_NE(manifest.data, nullptr);
    const std::string text(reinterpret_cast<const char*>(manifest.data), manifest.size);
    EXPECT_NE(text.find("<trustInfo"), std::string::npos);
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("uiAccess=\"false\""), std::string::npos);
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    EXPECT_EQ(lower.find("dpiaware"), std::string::npos);  // dpiAware and dpiAwareness
    EXPECT_EQ(lower.find("requireadministrator"), std::string::npos);
}

struct VersionString {
    const wchar_t* name;
    const wchar_t* value;
};

TEST_F(ResourcesTest, VersionBlockNamesTheProduct) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    const VersionString strings[] = {
        {L"CompanyName", L"Tiberlune"},
        {L"FileDescription", L"Kestravon Installer"},
        {L"FileVersion", L"1.0.0"},
        {L"InternalName", L"KestravonInstaller"},
        {L"OriginalFilename", L"KestravonInstaller.exe"},
        {L"ProductName", L"Kestravon"},
        {L"ProductVersion", L"1.0.0"},
    };
    for (const VersionString& s : strings) {
        SCOPED_TRACE(static_cast<int>(&s - strings));
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + s.name;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(value), s.value);
    }
}

}  // namespace
