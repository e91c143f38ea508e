// Text and colours of the installer window as they appear on the live screen.
#pragma once

#include <string>

#include <windows.h>

#include "app/layout.h"
#include "app/palette.h"

// One text as the painter draws it: same Wine, same substituted font, same pixels.
struct ScreenText {
    std::wstring text;
    RECT rect;
    int fontHeight;
    int fontWeight;
    COLORREF colour;
    COLORREF fill;  // what lies under the text: a rounded box's colour, or the background
    RECT box{};     // that rounded box (empty: plain background)
    int corner = 0;
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
