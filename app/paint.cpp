// Painting of the four screens, straight into the paint DC.
#include "app/paint.h"

#include <algorithm>
#include <cwchar>

#include "app/controls.h"
#include "app/layout.h"
#include "app/palette.h"
#include "common/decimal.h"
#include "common/win_owners.h"

namespace {

constexpr UINT LeftFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT CentreFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT RightFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT EndEllipsisFormat = LeftFormat | DT_END_ELLIPSIS;
constexpr UINT PathEllipsisFormat = LeftFormat | DT_PATH_ELLIPSIS;

void FillSolidRect(HDC dc, const RECT& rect, COLORREF colour) {
    UniqueGdiObject brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

}  // namespace

HeadlineTexts TextsFor(Screen screen, const InstallerState& state) {
    switch (screen) {
    case Screen::Installing: return {L"Setting up Kestravon", state.statusTitle.c_str(), SubLineInstallingColour};
    case Screen::Success: return {L"Kestravon is ready", L"Installation completed successfully.", SubLineOutcomeColour};
    case Screen::Failure:
        return {L"Setup could not finish",
                state.statusDetail.empty() ? L"Please try again." : state.statusDetail.c_str(), SubLineOutcomeColour};
    case Screen::Idle: break;
    }
    return {L"Install Kestravon", L"Fast. Clean. Ready to launch.", SubLineIdleColour};
}

namespace {

void DrawHeader(HDC dc, const InstallerState& state) {
    if (state.appIcon) {
        DrawIconEx(dc, AppIconRect.left, AppIconRect.top, state.appIcon, AppIconRect.right - AppIconRect.left,
                   AppIconRect.bottom - AppIconRect.top, 0, nullptr, DI_NORMAL);
    }
    DrawLabel(dc, L"KESTRAVON", WordmarkRect, state.fontBold, WordmarkColour, LeftFormat);
    DrawLabel(dc, L"WINDOWS INSTALLER", TaglineRect, state.fontSmall, TaglineColour, LeftFormat);
}

// The location label and box; the folder is the control, its name the label.
void DrawLocation(HDC dc, const Control& control, const InstallerState& state) {
    DrawLabel(dc, control.name, LocationLabelRect, state.fontSmall, LabelColour, LeftFormat);
    FillRoundRect(dc, LocationBoxRect, LocationBoxCorner, LocationBoxColour);
    DrawLabel(dc, state.installFolder.c_str(), control.rect, state.fontBody, SubLineOutcomeColour, PathEllipsisFormat);
}

void DrawProgress(HDC dc, const InstallerState& state) {
    FillRoundRect(dc, ProgressTrackRect, ProgressCorner, ControlColour);
    const int percent = ShownPercent(state);
    if (percent > 0) {
        const int track = ProgressTrackRect.right - ProgressTrackRect.left;
        const int width = std::max(track * percent / 100, ProgressMinimumWidth);
        RECT bar = ProgressTrackRect;
        bar.right = bar.left + width;
        FillRoundRect(dc, bar, ProgressCorner, AccentColour);
    }
    DrawLabel(dc, ShownPercentText(state).c_str(), PercentRect, state.fontSmall, PercentColour, RightFormat);
}

void DrawOpenOption(HDC dc, const Control& control, const InstallerState& state) {
    FillRoundRect(dc, OpenOptionBoxRect, OpenOptionBoxCorner, state.openAfterInstall ? AccentColour : ControlColour);
    if (state.openAfterInstall) DrawCheckMark(dc, OpenOptionBoxRect);
    DrawLabel(dc, control.name, OpenOptionLabelRect, state.fontBody, OptionLabelColour, LeftFormat);
}

// A main button that does nothing on this screen looks busy.
void DrawMainButton(HDC dc, bool live, const InstallerState& state) {
    FillRoundRect(dc, MainButtonRect, MainButtonCorner, live ? AccentColour : BusyButtonColour);
    DrawLabel(dc, state.buttonLabel.c_str(), MainButtonRect, state.fontBold, live ? WhiteColour : BusyButtonLabelColour,
              CentreFormat);
}

void DrawControl(HDC dc, const Control& control, Screen screen, const InstallerState& state) {
    const HeadlineTexts texts = TextsFor(screen, state);
    switch (control.part) {
    case Part::Close: DrawLabel(dc, L"x", control.rect, state.fontEmphasis, CloseGlyphColour, CentreFormat); break;
    case Part::Headline:
        DrawLabel(dc, texts.headline, control.rect, state.fontHeadline, HeadlineColour, LeftFormat);
        break;
    case Part::SubLine:
        DrawLabel(dc, texts.subLine, control.rect, state.fontEmphasis, texts.subLineColour, EndEllipsisFormat);
        break;
    case Part::Location: DrawLocation(dc, control, state); break;
    case Part::Change:
        FillRoundRect(dc, control.rect, ChangeButtonCorner, ControlColour);
        DrawLabel(dc, control.name, control.rect, state.fontSmall, ChangeTextColour, CentreFormat);
        break;
    case Part::Detail:
        DrawLabel(dc, state.statusDetail.c_str(), control.rect, state.fontBody, LabelColour, EndEllipsisFormat);
        break;
    case Part::Progress: DrawProgress(dc, state); break;
    case Part::OpenOption: DrawOpenOption(dc, control, state); break;
    case Part::MainButton: DrawMainButton(dc, IsLive(control, screen), state); break;
    }
}

}  // namespace

int ShownPercent(const InstallerState& state) { return std::clamp(state.progress.load(), 0, 100); }

std::wstring ShownPercentText(const InstallerState& state) {
    return DecimalText(static_cast<unsigned>(ShownPercent(state))) + L"%";
}

void PaintInstallerWindow(HWND window) {
    PaintSession paint(window);
    RECT client{};
    GetClientRect(window, &client);
    PaintInstallerContents(paint.dc(), client, g_state);
}

void PaintInstallerContents(HDC dc, const RECT& client, const InstallerState& state) {
    FillSolidRect(dc, client, BackgroundColour);
    FillSolidRect(dc, AccentLineRect, AccentColour);
    DrawHeader(dc, state);
    const Screen screen = CurrentScreen(state);  // one reading for every control
    const ScreenControls controls = ControlsOf(screen);
    for (LONG i = 0; i < controls.count; ++i) DrawControl(dc, *controls.at[i], screen, state);
}

void FillRoundRect(HDC dc, const RECT& rect, int corner, COLORREF colour) {
    UniqueGdiObject brush(CreateSolidBrush(colour));
    UniqueGdiObject pen(CreatePen(PS_SOLID, 1, colour));
    SelectedObject brushSelection(dc, brush.get());
    SelectedObject penSelection(dc, pen.get());
    RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
}

void DrawLabel(HDC dc, const wchar_t* text, const RECT& rect, HFONT font, COLORREF colour, UINT format) {
    SelectedObject fontSelection(dc, font);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    RECT bounds = rect;  // DrawTextW takes a writable rectangle
    DrawTextW(dc, text, static_cast<int>(std::wcslen(text)), &bounds, format);
}

void DrawCheckMark(HDC dc, const RECT& box) {
    UniqueGdiObject pen(CreatePen(PS_SOLID, 2, WhiteColour));
    SelectedObject penSelection(dc, pen.get());
    MoveToEx(dc, box.left + 4, box.top + 9, nullptr);
    LineTo(dc, box.left + 8, box.top + 13);
    LineTo(dc, box.left + 15, box.top + 5);
}
