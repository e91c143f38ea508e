// The colours of the four screens.
#pragma once

#include <windows.h>

constexpr COLORREF BackgroundColour = RGB(16, 19, 25);
constexpr COLORREF AccentColour = RGB(46, 124, 246);
constexpr COLORREF WordmarkColour = RGB(244, 247, 251);
constexpr COLORREF TaglineColour = RGB(119, 128, 140);
constexpr COLORREF CloseGlyphColour = RGB(122, 130, 141);
constexpr COLORREF HeadlineColour = RGB(247, 249, 252);
constexpr COLORREF SubLineIdleColour = RGB(146, 154, 166);
constexpr COLORREF SubLineInstallingColour = RGB(212, 217, 224);
constexpr COLORREF SubLineOutcomeColour = RGB(170, 178, 189);  // success, failure, folder path
constexpr COLORREF LabelColour = RGB(111, 120, 132);          // "Install location", detail line
constexpr COLORREF LocationBoxColour = RGB(23, 27, 34);
constexpr COLORREF ControlColour = RGB(32, 38, 49);  // "Change", progress track, option box off
constexpr COLORREF ChangeTextColour = RGB(215, 220, 227);
constexpr COLORREF PercentColour = RGB(127, 138, 152);
constexpr COLORREF OptionLabelColour = RGB(205, 211, 219);
constexpr COLORREF WhiteColour = RGB(255, 255, 255);  // main button label, check mark
constexpr COLORREF BusyButtonColour = RGB(24, 29, 37);
constexpr COLORREF BusyButtonLabelColour = RGB(103, 113, 126);
