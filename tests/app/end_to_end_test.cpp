// Whole installations through the real installer window against the test release service.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "setup/path_rules.h"
#include "tests/app/bitmap_file.h"
#include "tests/app/end_to_end_fixture.h"
#include "tests/app/live_installer.h"
#include "tests/app/release_support.h"
#include "tests/app/screen_text.h"

namespace {

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
        EXPECT_TRUE(FileExists(JoinPath(folder, L"kestravon.exe")));
        if (!optionOn) ClickAt(window, OpenOptionLabelRect);

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

        ClickAt(window, MainButtonRect);  // "Done"
        ASSERT_NO_FATAL_FAILURE(ExpectExitsWithZero(child));
        const std::wstring report = JoinPath(folder, L"launched.txt");
        if (optionOn) {
            ASSERT_TRUE(WaitForFile(report, 10000)) << "the installed application was not opened";
            EXPECT_EQ(ReportField(ReadUtf16File(report), L"cwd"), folder)
                << "working directory of the opened application";
        } else {
            EXPECT_FALSE(WaitForFile(report, 3000)) << "opened although the option was off";
        }
    }
}

TEST_F(EndToEndTest, ADigestMismatchEndsOnTheFailureScreen) {
    ASSERT_TRUE(PublishRelease(setup, std::string(64, '0')));
    ChildProcess child;
    HWND window = StartAndPressInstall(child);
    ASSERT_NE(window, nullptr);

    ASSERT_TRUE(WaitForText(window, MainButton(L"Try Again"), 60000)) << "no failure screen within a minute";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Setup could not finish")));
    EXPECT_TRUE(ShowsText(window, SubLineText(L"Security check failed: installer SHA-256 did not match.")));
    EXPECT_FALSE(FileExists(JoinPath(folder, L"kestravon.exe")));

    ExpectClosesWithZero(child, window);
}

}  // namespace
