// The real installer under Wine and Xvfb: its window, a screenshot, real input, exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "app/layout.h"
#include "app/palette.h"
#include "tests/app/bitmap_file.h"
#include "tests/app/live_installer.h"

namespace {

TEST(LiveWindowTest, ShowsCentredAndExitsWithZeroAfterClose) {
    // Started minimised with arguments: neither may change what the user sees.
    ChildProcess child;
    ASSERT_TRUE(StartInstaller(child, L"/S --unexpected argument", SW_SHOWMINNOACTIVE))
        << "cannot start the installer (KESTRAVON_BUILD_DIR set?), error " << GetLastError();

    HWND window = WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess);
    ASSERT_NE(window, nullptr) << "no visible installer window within 15 s";
    EXPECT_FALSE(IsIconic(window));
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(title, L"Kestravon Installer");

    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, 560);
    EXPECT_EQ(frame.bottom - frame.top, 380);
    EXPECT_EQ(frame.left, area.left + (area.right - area.left - 560) / 2);
    EXPECT_EQ(frame.top, area.top + (area.bottom - area.top - 380) / 2);

    // Give the X server a moment to show the first paint, then look at it.
    Sleep(1000);
    const std::vector<std::uint32_t> pixels = CaptureScreen(frame);
    ASSERT_EQ(pixels.size(), 560u * 380u);
    const std::wstring shot = BuildTreeFile(L"live_window.bmp");
    if (!shot.empty()) SaveBitmap(shot, pixels, 560, 380);
    EXPECT_EQ(PixelAt(pixels, 280, 1), AccentColour);
    EXPECT_EQ(PixelAt(pixels, 280, 2), BackgroundColour);
    EXPECT_EQ(PixelAt(pixels, 20, 200), BackgroundColour);
    EXPECT_EQ(PixelAt(pixels, 47, 241), LocationBoxColour);
    EXPECT_EQ(PixelAt(pixels, 428, 241), ControlColour);
    EXPECT_EQ(PixelAt(pixels, 60, 305), AccentColour);
    EXPECT_NE(PixelAt(pixels, 0, 0), BackgroundColour);  // cut away by the rounded region

    ExpectClosesWithZero(child, window);
}

TEST(LiveWindowTest, RealMouseInputDragsTheWindowAndTheGlyphClosesIt) {
    ChildProcess child;
    ASSERT_TRUE(StartInstaller(child, L"", SW_SHOWNORMAL)) << "error " << GetLastError();
    HWND window = WaitForInstallerWindow(child.info.dwProcessId, child.info.hProcess);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);
    RECT before{};
    GetWindowRect(window, &before);

    // Grab the strip at (200, 50) and let go 100 px right and 60 px lower.
    SendMouse(POINT{before.left + 200, before.top + 50}, 0);
    SendMouse(POINT{before.left + 200, before.top + 50}, MOUSEEVENTF_LEFTDOWN);
    SendMouse(POINT{before.left + 250, before.top + 80}, 0);
    SendMouse(POINT{before.left + 300, before.top + 110}, 0);
    POINT cursor{};
    GetCursorPos(&cursor);
    SendMouse(POINT{before.left + 300, before.top + 110}, MOUSEEVENTF_LEFTUP);
    Sleep(300);
    RECT after{};
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left, cursor.x - 200);
    EXPECT_EQ(after.top, cursor.y - 50);
    EXPECT_NE(after.left, before.left);

    // The close glyph, away from the drag strip's other uses.
    ClickAt(window, CloseButtonRect);
    ExpectExitsWithZero(child, "the glyph did not close the window");
}

}  // namespace
