// Whole installations through the real installer window against the test release service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <bcrypt.h>

#include "app/paint.h"
#include "app/startup.h"
#include "app/state.h"
#include "common/win_owners.h"
#include "net/download.h"
#include "setup/locations.h"
#include "setup/path_rules.h"
#include "tests/app/installer_path.h"
#include "tests/app/live_installer.h"
#include "tests/app/test_window.h"
#include "tests/net/service_client.h"

namespace {

constexpr COLORREF Background = RGB(16, 19, 25);
constexpr COLORREF Accent = RGB(46, 124, 246);
constexpr COLORREF Headline = RGB(247, 249, 252);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr RECT HeadlineRect{40, 104, 520, 143};

void CloseAlgorithm(BCRYPT_ALG_HANDLE handle) { BCryptCloseAlgorithmProvider(handle, 0); }
using UniqueAlgorithm = UniqueNullHandle<BCRYPT_ALG_HANDLE, CloseAlgorithm>;

std::string ReadWholeFile(const std::wstring& path) {
    UniqueFileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

std::string Sha256Hex(const std::string& data) {
    UniqueAlgorithm algorithm;
    if (BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return std::string();
    unsigned char digest[32] = {};
    if (BCryptHash(algorithm.get(), nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                   static_cast<ULONG>(data.size()), digest, sizeof(digest)) != 0) {
        return std::string();
    }
    return HexDigest(digest);
}

// The NSIS stand-in setup that installs kestravon.exe with /S /D=<folder>.
std::wstring StandinSetupPath() {
    std::wstring path = InstallerExePath();
    path.resize(path.size() - std::wstring(L"app\\KestravonInstaller.exe").size());
    return path + L"standins\\kestravon-setup.exe";
}

bool PublishRelease(const std::string& setup, const std::string& sha256) {
    const std::string manifest = "{\"url\": \"https://kestravon.test/files/KestravonSetup.exe\", \"sha256\": \"" +
                                 sha256 + "\", \"version\": \"1.0.0\", \"size\": " + std::to_string(setup.size()) + "}";
    return WriteServedFile(L"KestravonSetup.exe", setup) && WriteManifest(manifest);
}

// The folder the installer starts with, computed the same way.
std::wstring DefaultFolder() { return JoinPath(DefaultInstallFolder(), L"Kestravon"); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        if (Exists(path)) return true;
        Sleep(100);
    }
    return Exists(path);
}

// Whether the window on screen shows `text` in `rect` exactly as the painter draws it
// over `underneath`: same Wine, same substituted font, same pixels.
struct ScreenText {
    const wchar_t* text;
    RECT rect;
    int fontHeight;
    int fontWeight;
    COLORREF colour;
    COLORREF fill;  // the main button's fill, or the background for plain text
    bool onButton;
};

bool ShowsText(HWND window, const ScreenText& expected) {
    RECT frame{};
    GetWindowRect(window, &frame);
    const std::vector<std::uint32_t> screen = CaptureScreen(frame);
    if (screen.size() != 560u * 380u) return false;
    UniqueHfont font(CreateUiFont(expected.fontHeight, expected.fontWeight));
    Canvas reference(560, 380);
    UniqueGdiObject brush(CreateSolidBrush(Background));
    const RECT all{0, 0, 560, 380};
    FillRect(reference.dc.get(), &all, static_cast<HBRUSH>(brush.get()));
    if (expected.onButton) FillRoundRect(reference.dc.get(), MainButtonRect, 16, expected.fill);
    DrawLabel(reference.dc.get(), expected.text, expected.rect, font.get(), expected.colour,
              (expected.onButton ? DT_CENTER : DT_LEFT) | DT_VCENTER | DT_SINGLELINE);
    for (int y = expected.rect.top; y < expected.rect.bottom; ++y) {
        for (int x = expected.rect.left; x < expected.rect.right; ++x) {
            if (PixelAt(screen, x, y) != reference.At(x, y)) return false;
        }
    }
    return true;
}

ScreenText MainButton(const wchar_t* label) { return {label, MainButtonRect, 15, 700, White, Accent, true}; }
ScreenText HeadlineText(const wchar_t* text) { return {text, HeadlineRect, 25, 600, Headline, Background, false}; }

bool WaitForText(HWND window, const ScreenText& expected, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 250) {
        if (ShowsText(window, expected)) return true;
        Sleep(250);
    }
    return ShowsText(window, expected);
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ServiceDir().empty()) << "run through netns-run.sh (ctest)";
        folder = DefaultFolder();
        ASSERT_FALSE(DefaultInstallFolder().empty());
        for (const wchar_t* name : {L"kestravon.exe", L"setup-commandline.txt", L"launched.txt"}) {
            DeleteFileW(JoinPath(folder, name).c_str());
        }
        setup = ReadWholeFile(StandinSetupPath());
        ASSERT_FALSE(setup.empty()) << "stand-in setup missing (target kestravon_standins)";
    }

    HWND StartAndPressInstall() {
        if (!StartInstaller(child, L"", SW_SHOWNORMAL)) return nullptr;
        HWND window = WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess);
        if (!window) return nullptr;
        SetForegroundWindow(window);
        // The comparison itself must work before it can tell screens apart.
        EXPECT_TRUE(WaitForText(window, MainButton(L"Install Kestravon"), 5000));
        EXPECT_TRUE(ShowsText(window, HeadlineText(L"Install Kestravon")));
        ClickAt(window, 280, 322);
        return window;
    }

    std::wstring folder;
    std::string setup;
    ChildProcess child;
};

TEST_F(EndToEndTest, AVerifiedSetupInstallsAndDoneOpensTheApplication) {
    ASSERT_TRUE(PublishRelease(setup, Sha256Hex(setup)));
    HWND window = StartAndPressInstall();
    ASSERT_NE(window, nullptr);

    ASSERT_TRUE(WaitForText(window, MainButton(L"Done"), 120000)) << "no success screen within two minutes";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Kestravon is ready")));
    EXPECT_TRUE(Exists(JoinPath(folder, L"kestravon.exe")));

    ClickAt(window, 280, 322);  // "Done" with the option on, as it starts
    ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(child.info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(WaitForFile(JoinPath(folder, L"launched.txt"), 10000)) << "the installed application was not opened";
}

TEST_F(EndToEndTest, ADigestMismatchEndsOnTheFailureScreen) {
    ASSERT_TRUE(PublishRelease(setup, std::string(64, '0')));
    HWND window = StartAndPressInstall();
    ASSERT_NE(window, nullptr);

    ASSERT_TRUE(WaitForText(window, MainButton(L"Try Again"), 60000)) << "no failure screen within a minute";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Setup could not finish")));
    EXPECT_FALSE(Exists(JoinPath(folder, L"kestravon.exe")));

    ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(child.info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
