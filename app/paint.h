// Painting of the four screens, straight into the paint DC.
#pragma once

#include <string>

#include <windows.h>

#include "app/state.h"

void PaintInstallerWindow(HWND window);
// The percentage the progress bar shows: progress clamped to 0..100.
int ShownPercent(const InstallerState& state);
// That percentage as the window writes it beside the bar: "42%".
std::wstring ShownPercentText(const InstallerState& state);

// The headline and sub-line of a screen, painted and read out alike.
struct HeadlineTexts {
    const wchar_t* headline;
    const wchar_t* subLine;  // points into the state or at a fixed text
    COLORREF subLineColour;
};
HeadlineTexts TextsFor(Screen screen, const InstallerState& state);
// Draws every element from `state` into `dc`; the window's paint and tests share it.
void PaintInstallerContents(HDC dc, const RECT& client, const InstallerState& state);
void FillRoundRect(HDC dc, const RECT& rect, int corner, COLORREF colour);
void DrawLabel(HDC dc, const wchar_t* text, const RECT& rect, HFONT font, COLORREF colour, UINT format);
void DrawCheckMark(HDC dc, const RECT& box);
