// The installer's own window shown on Xvfb and read back from the screen: the failure
// screens that no live installation can reach on demand.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/state.h"
#include "app/window.h"
#include "pipeline/messages.h"
#include "tests/app/app_fakes.h"
#include "tests/app/bitmap_file.h"
#include "tests/app/live_installer.h"
#include "tests/app/screen_text.h"
#include "tests/app/test_window.h"

namespace {

class ScreenCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetInstallerState(g_state);
        g_fakes = AppFakes{};
        g_state.installFolder = L"C:\\Users\\Ana\\AppData\\Roaming\\Kestravon";
        window = CreateTestInstallerWindow();
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
        PumpMessages();
    }
    void TearDown() override { DestroyTestInstallerWindow(window); }

    // Keeps this thread's window painting while waiting for `expected` on screen.
    bool Shows(const ScreenText& expected) {
        for (int i = 0; i < 60; ++i) {
            PumpMessages();
            UpdateWindow(window);
            if (ShowsText(window, expected)) return true;
            Sleep(50);
        }
        return false;
    }

    std::vector<std::uint32_t> Capture(const wchar_t* name) {
        RECT frame{};
        GetWindowRect(window, &frame);
        std::vector<std::uint32_t> pixels = CaptureScreen(frame);
        if (pixels.size() == 560u * 380u) SaveBitmap(BuildTreeFile(name), pixels, 560, 380);
        return pixels;
    }

    HWND window = nullptr;
};

TEST_F(ScreenCaptureTest, FailureScreensShowTheirSentence) {
    struct Case {
        const char* name;
        const wchar_t* posted;  // null: no text at all
        const wchar_t* shown;
        const wchar_t* shot;
    };
    const Case cases[] = {
        {"a sentence", L"The installer download was interrupted.", L"The installer download was interrupted.",
         L"screen_failure.bmp"},
        {"an empty sentence", L"", L"Please try again.", L"screen_failure_empty.bmp"},
        {"no text", nullptr, L"An unexpected error occurred.", L"screen_failure_null.bmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A run is awaited, as after "Install Kestravon"; its failure ends it.
        constexpr UINT_PTR Token = 0xFA11;
        g_state.installing.exchange(true);
        g_state.runToken = Token;
        const RunReport report{window, Token};
        if (c.posted) {
            PostFailure(report, c.posted);
        } else {
            PostUnexpectedFailure(report);
        }
        EXPECT_TRUE(Shows(SubLineText(c.shown)));
        EXPECT_TRUE(ShowsText(window, HeadlineText(L"Setup could not finish")));
        EXPECT_TRUE(ShowsText(window, MainButton(L"Try Again")));
        EXPECT_TRUE(ShowsText(window, FolderText(g_state.installFolder)));
        const std::vector<std::uint32_t> pixels = Capture(c.shot);
        ASSERT_EQ(pixels.size(), 560u * 380u);
        EXPECT_EQ(PixelAt(pixels, 47, 241), LocationBoxColour);
        EXPECT_EQ(PixelAt(pixels, 428, 241), ControlColour);  // "Change"
        EXPECT_EQ(PixelAt(pixels, 60, 305), AccentColour);
    }
}

// The installing screen on the live screen, its bar set through the run's own messages.
TEST_F(ScreenCaptureTest, TheBarOnScreenFollowsProgress) {
    constexpr UINT_PTR Token = 0xBA5;
    g_state.installing.exchange(true);
    g_state.buttonLabel = L"Installing...";
    g_state.runToken = Token;
    g_state.statusTitle = L"Downloading Kestravon";
    struct Case {
        int posted;
        int width;  // of the blue fill; 0 for none
        const wchar_t* text;
    };
    const Case cases[] = {{0, 0, L"0%"},     {1, 10, L"1%"},      {3, 14, L"3%"},
                          {50, 240, L"50%"}, {100, 480, L"100%"}, {150, 480, L"100%"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.posted);
        ASSERT_TRUE(PostMessageW(window, WM_APP_PROGRESS, static_cast<WPARAM>(c.posted), static_cast<LPARAM>(Token)));
        ASSERT_TRUE(Shows(PercentText(c.text)));
        const std::vector<std::uint32_t> pixels = Capture((L"screen_installing_" + std::to_wstring(c.posted) + L".bmp").c_str());
        ASSERT_EQ(pixels.size(), 560u * 380u);
        EXPECT_EQ(PixelAt(pixels, 60, 305), BusyButtonColour);
        if (c.width == 0) {
            EXPECT_EQ(PixelAt(pixels, 45, 235), ControlColour);
        } else {
            EXPECT_EQ(PixelAt(pixels, 40 + c.width / 2, 235), AccentColour);
            EXPECT_EQ(PixelAt(pixels, 40 + c.width - 1, 235), AccentColour) << "last column of the fill";
        }
        if (c.width < 480) EXPECT_EQ(PixelAt(pixels, 40 + c.width, 235), ControlColour) << "first column of the track";
    }
}

TEST_F(ScreenCaptureTest, AClickWithARelativeFolderShowsTheRejection) {
    g_state.installFolder = L"Kestravon";
    InvalidateRect(window, nullptr, FALSE);
    ASSERT_TRUE(Shows(FolderText(L"Kestravon")));
    ClickAt(window, MainButtonRect);  // real input through the system's queue
    ASSERT_TRUE(Shows(SubLineText(L"Choose a valid installation folder.")));
    EXPECT_FALSE(g_state.installing.load());
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Setup could not finish")));
    EXPECT_TRUE(ShowsText(window, MainButton(L"Try Again")));
    EXPECT_TRUE(ShowsText(window, FolderText(L"Kestravon")));
    const std::vector<std::uint32_t> pixels = Capture(L"screen_rejected_folder.bmp");
    ASSERT_EQ(pixels.size(), 560u * 380u);
    EXPECT_EQ(PixelAt(pixels, 60, 305), AccentColour);
}

// Before its worker reports anything, a run that begins shows the installing screen.
TEST_F(ScreenCaptureTest, TheInstallingScreenIsUpAsARunBegins) {
    ASSERT_TRUE(Shows(MainButton(L"Install Kestravon")));
    BeginInstall([](std::unique_ptr<InstallRun>& run) {  // a worker that never reports
        run.reset();
        return true;
    });
    EXPECT_TRUE(Shows(HeadlineText(L"Setting up Kestravon")));
}

}  // namespace
