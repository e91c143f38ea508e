// Whole installations through the real installer window against the test release service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "setup/path_rules.h"
#include "tests/app/bitmap_file.h"
#include "tests/app/end_to_end_fixture.h"
#include "tests/app/live_installer.h"
#include "tests/app/release_support.h"
#include "tests/app/screen_text.h"
#include "tests/net/service_client.h"

namespace {

// The "cwd=" line of the report kestravon.exe leaves beside itself (UTF-16LE, CR LF).
std::wstring LaunchedFrom(const std::wstring& report) {
    const std::string bytes = ReadWholeFile(report);
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    const std::size_t start = text.find(L"cwd=");
    if (start == std::wstring::npos) return std::wstring();
    return text.substr(start + 4, text.find(L"\r\n", start) - start - 4);
}

TEST_F(EndToEndTest, DoneOpensTheInstalledApplicationOnlyWithTheOptionOn) {
    ASSERT_TRUE(PublishRelease(setup, Sha256Hex(setup)));
    for (const bool optionOn : {true, false}) {
        SCOPED_TRACE(optionOn ? "option on" : "option off");
        ClearInstallFolder();
        ChildProcess child;
        HWND window = StartAndPressInstall(child);
        ASSERT_NE(window, nullptr);

        ASSERT_TRUE(WaitForText(window, MainButton(L"Done"), 120000)) << "no success screen within two minutes";
        EXPECT_TRUE(ShowsText(window, HeadlineText(L"Kestravon is ready")));
        EXPECT_TRUE(ShowsText(window, SubLineText(L"Installation completed successfully.")));
        EXPECT_TRUE(Exists(JoinPath(folder, L"kestravon.exe")));
        if (!optionOn) ClickAt(window, 150, 227);  // the label of "Open Kestravon"

        RECT frame{};
        GetWindowRect(window, &frame);
        Sleep(300);
        const std::vector<std::uint32_t> pixels = CaptureScreen(frame);
        ASSERT_EQ(pixels.size(), 560u * 380u);
        SaveBitmap(BuildTreeFile(optionOn ? L"live_success_on.bmp" : L"live_success_off.bmp"), pixels, 560, 380);
        EXPECT_EQ(PixelAt(pixels, 52, 233), optionOn ? AccentColour : ControlColour);  // the box, away from the tick
        EXPECT_EQ(PixelAt(pixels, 44, 227), optionOn ? WhiteColour : ControlColour);    // where the tick starts
        EXPECT_EQ(PixelAt(pixels, 47, 241), BackgroundColour);                    // no location box
        EXPECT_EQ(PixelAt(pixels, 60, 305), AccentColour);

        ClickAt(window, 280, 322);  // "Done"
        ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0);
        DWORD exitCode = 1234;
        GetExitCodeProcess(child.info.hProcess, &exitCode);
        EXPECT_EQ(exitCode, 0u);
        const std::wstring report = JoinPath(folder, L"launched.txt");
        if (optionOn) {
            ASSERT_TRUE(WaitForFile(report, 10000)) << "the installed application was not opened";
            EXPECT_EQ(LaunchedFrom(report), folder) << "working directory of the opened application";
        } else {
            EXPECT_FALSE(WaitForFile(report, 3000)) << "opened although the option was off";
        }
    }
}

// The installer pinned to the test release key and publisher fetches the manifest's
// signature and installs the signed release.
TEST_F(EndToEndTest, APinnedInstallerInstallsTheSignedRelease) {
    ASSERT_TRUE(PublishSignedRelease());
    ClearRecordedRequests();
    ChildProcess child;
    HWND window = StartAndPressInstall(child, true);
    ASSERT_NE(window, nullptr);

    ASSERT_TRUE(WaitForText(window, MainButton(L"Done"), 120000)) << "no success screen within two minutes";
    EXPECT_TRUE(Exists(JoinPath(folder, L"kestravon.exe")));
    std::vector<std::string> paths;
    for (const ServiceRequest& request : RecordedRequests()) paths.push_back(request.path);
    const std::vector<std::string> expected = {"/api/v1/launcher/installer/windows-x86_64",
                                               "/api/v1/launcher/installer/windows-x86_64.sig",
                                               "/files/KestravonSetup.exe"};
    EXPECT_EQ(paths, expected);
    ClickAt(window, 280, 322);  // "Done"
    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0);
}

TEST_F(EndToEndTest, ADigestMismatchEndsOnTheFailureScreen) {
    ASSERT_TRUE(PublishRelease(setup, std::string(64, '0')));
    ChildProcess child;
    HWND window = StartAndPressInstall(child);
    ASSERT_NE(window, nullptr);

    ASSERT_TRUE(WaitForText(window, MainButton(L"Try Again"), 60000)) << "no failure screen within a minute";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Setup could not finish")));
    EXPECT_TRUE(ShowsText(window, SubLineText(L"Security check failed: installer SHA-256 did not match.")));
    EXPECT_FALSE(Exists(JoinPath(folder, L"kestravon.exe")));

    ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(child.info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
