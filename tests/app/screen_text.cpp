// Text and colours of the installer window as they appear on the live screen.
#include "tests/app/screen_text.h"

#include <vector>

#include "app/paint.h"
#include "app/startup.h"
#include "app/state.h"
#include "common/win_owners.h"
#include "tests/app/live_installer.h"
#include "tests/app/test_window.h"

namespace {

constexpr UINT Left = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT Centre = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

}  // namespace

bool ShowsText(HWND window, const ScreenText& expected) {
    RECT frame{};
    GetWindowRect(window, &frame);
    const std::vector<std::uint32_t> screen = CaptureScreen(frame);
    if (screen.size() != 560u * 380u) return false;
    UniqueHfont font(CreateUiFont(expected.fontHeight, expected.fontWeight));
    Canvas reference(560, 380);
    UniqueGdiObject brush(CreateSolidBrush(BackgroundColour));
    const RECT all{0, 0, 560, 380};
    FillRect(reference.dc.get(), &all, static_cast<HBRUSH>(brush.get()));
    if (expected.box.right > expected.box.left) FillRoundRect(reference.dc.get(), expected.box, expected.corner, expected.fill);
    DrawLabel(reference.dc.get(), expected.text.c_str(), expected.rect, font.get(), expected.colour, expected.format);
    for (int y = expected.rect.top; y < expected.rect.bottom; ++y) {
        for (int x = expected.rect.left; x < expected.rect.right; ++x) {
            if (PixelAt(screen, x, y) != reference.At(x, y)) return false;
        }
    }
    return true;
}

bool WaitForText(HWND window, const ScreenText& expected, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 250) {
        if (ShowsText(window, expected)) return true;
        Sleep(250);
    }
    return ShowsText(window, expected);
}

ScreenText MainButton(const wchar_t* label) {
    return {.text = label, .rect = MainButtonRect, .fontHeight = 15, .fontWeight = 700, .colour = WhiteColour,
            .fill = AccentColour, .box = MainButtonRect, .corner = MainButtonCorner, .format = Centre};
}

ScreenText HeadlineText(const wchar_t* text) {
    return {.text = text, .rect = HeadlineRect, .fontHeight = 25, .fontWeight = 600, .colour = HeadlineColour,
            .fill = BackgroundColour, .format = Left};
}

ScreenText SubLineText(const std::wstring& text) {
    return {.text = text, .rect = SubLineRect, .fontHeight = 15, .fontWeight = 600, .colour = SubLineOutcomeColour,
            .fill = BackgroundColour, .format = Left | DT_END_ELLIPSIS};
}

ScreenText FolderText(const std::wstring& folder) {
    return {.text = folder, .rect = FolderTextRect, .fontHeight = 14, .fontWeight = 400, .colour = SubLineOutcomeColour,
            .fill = LocationBoxColour, .box = LocationBoxRect, .corner = LocationBoxCorner,
            .format = Left | DT_PATH_ELLIPSIS};
}

ScreenText StatusTitleText(const std::wstring& text) {
    return {.text = text, .rect = SubLineRect, .fontHeight = 15, .fontWeight = 600, .colour = SubLineInstallingColour,
            .fill = BackgroundColour, .format = Left | DT_END_ELLIPSIS};
}

ScreenText PercentText(const std::wstring& text) {
    return {.text = text, .rect = PercentRect, .fontHeight = 13, .fontWeight = 500, .colour = PercentColour,
            .fill = BackgroundColour, .format = DT_RIGHT | DT_VCENTER | DT_SINGLELINE};
}
