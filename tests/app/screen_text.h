// Text and colours of the installer window as they appear on the live screen.
#pragma once

#include <string>

#include <windows.h>

constexpr COLORREF Background = RGB(16, 19, 25);
constexpr COLORREF Accent = RGB(46, 124, 246);
constexpr COLORREF Headline = RGB(247, 249, 252);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF SubLineOutcome = RGB(170, 178, 189);
constexpr COLORREF SubLineInstalling = RGB(212, 217, 224);
constexpr COLORREF LocationBox = RGB(23, 27, 34);
constexpr COLORREF Control = RGB(32, 38, 49);
constexpr COLORREF Percent = RGB(127, 138, 152);
constexpr COLORREF BusyButton = RGB(24, 29, 37);
constexpr RECT HeadlineRect{40, 104, 520, 143};
constexpr RECT SubLineRect{40, 145, 520, 178};
constexpr RECT FolderTextRect{54, 221, 414, 261};
constexpr RECT PercentRect{465, 247, 520, 273};

// One text as the painter draws it: same Wine, same substituted font, same pixels.
struct ScreenText {
    std::wstring text;
    RECT rect;
    int fontHeight;
    int fontWeight;
    COLORREF colour;
    COLORREF fill;  // what lies under the text: a rounded box's colour, or the background
    RECT box;       // that rounded box (empty: plain background)
    int corner;
    UINT format;
};

// Whether the window on screen shows `expected` exactly, pixel for pixel.
bool ShowsText(HWND window, const ScreenText& expected);
bool WaitForText(HWND window, const ScreenText& expected, DWORD timeoutMs);
ScreenText MainButton(const wchar_t* label);
ScreenText HeadlineText(const wchar_t* text);
ScreenText SubLineText(const std::wstring& text);    // success and failure screens
ScreenText StatusTitleText(const std::wstring& text);  // the installing screen's sub-line
ScreenText PercentText(const std::wstring& text);
ScreenText FolderText(const std::wstring& folder);  // in the location box
