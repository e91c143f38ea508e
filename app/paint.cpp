// Painting of the four screens, straight into the paint DC.
#include "app/paint.h"

#include <algorithm>

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

const std::wstring IdleSubLine = L"Fast. Clean. Ready to launch.";
const std::wstring SuccessSubLine = L"Installation completed successfully.";
const std::wstring FailureFallback = L"Please try again.";

}  // namespace

HeadlineTexts TextsFor(Screen screen, const InstallerState& state) {
    switch (screen) {
    case Screen::Installing: return {L"Setting up Kestravon", &state.statusTitle, SubLineInstallingColour};
    case Screen::Success: return {L"Kestravon is ready", &SuccessSubLine, SubLineOutcomeColour};
    case Screen::Failure:
        return {L"Setup could not finish", state.statusDetail.empty() ? &FailureFallback : &state.statusDetail,
                SubLineOutcomeColour};
    case Screen::Idle: break;
    }
    return {L"Install Kestravon", &IdleSubLine, SubLineIdleColour};
}

namespace {

void DrawHeader(HDC dc, const InstallerState& state) {
    if (state.appIcon) {
        DrawIconEx(dc, AppIconRect.left, AppIconRect.top, state.appIcon, AppIconRect.right - AppIconRect.left,
                   AppIconRect.bottom - AppIconRect.top, 0, nullptr, DI_NORMAL);
    }
    DrawLabel(dc, L"KESTRAVON", WordmarkRect, state.fontBold, WordmarkColour, LeftFormat);
    DrawLabel(dc, L"WINDOWS INSTALLER", TaglineRect, state.fontSmall, TaglineColour, LeftFormat);
    DrawLabel(dc, L"x", CloseButtonRect, state.fontEmphasis, CloseGlyphColour, CentreFormat);
}

void DrawHeadline(HDC dc, Screen screen, const InstallerState& state) {
    const HeadlineTexts texts = TextsFor(screen, state);
    DrawLabel(dc, texts.headline, HeadlineRect, state.fontHeadline, HeadlineColour, LeftFormat);
    DrawLabel(dc, *texts.subLine, SubLineRect, state.fontEmphasis, texts.subLineColour, EndEllipsisFormat);
}

void DrawLocationBlock(HDC dc, const InstallerState& state) {
    DrawLabel(dc, L"Install location", LocationLabelRect, state.fontSmall, LabelColour, LeftFormat);
    FillRoundRect(dc, LocationBoxRect, LocationBoxCorner, LocationBoxColour);
    DrawLabel(dc, state.installFolder, FolderTextRect, state.fontBody, SubLineOutcomeColour, PathEllipsisFormat);
    FillRoundRect(dc, ChangeButtonRect, ChangeButtonCorner, ControlColour);
    DrawLabel(dc, L"Change", ChangeButtonRect, state.fontSmall, ChangeTextColour, CentreFormat);
}

void DrawProgressBlock(HDC dc, const InstallerState& state) {
    DrawLabel(dc, state.statusDetail, DetailRect, state.fontBody, LabelColour, EndEllipsisFormat);
    FillRoundRect(dc, ProgressTrackRect, ProgressCorner, ControlColour);
    const int percent = ShownPercent(state);
    if (percent > 0) {
        const int track = ProgressTrackRect.right - ProgressTrackRect.left;
        const int width = std::max(track * percent / 100, ProgressMinimumWidth);
        RECT bar = ProgressTrackRect;
        bar.right = bar.left + width;
        FillRoundRect(dc, bar, ProgressCorner, AccentColour);
    }
    DrawLabel(dc, ShownPercentText(state), PercentRect, state.fontSmall, PercentColour, RightFormat);
}

void DrawOpenOption(HDC dc, const InstallerState& state) {
    FillRoundRect(dc, OpenOptionBoxRect, OpenOptionBoxCorner, state.openAfterInstall ? AccentColour : ControlColour);
    if (state.openAfterInstall) DrawCheckMark(dc, OpenOptionBoxRect);
    DrawLabel(dc, L"Open Kestravon", OpenOptionLabelRect, state.fontBody, OptionLabelColour, LeftFormat);
}

void DrawMainButton(HDC dc, const InstallerState& state) {
    const bool installing = state.installing.load();  // one reading for fill and label
    FillRoundRect(dc, MainButtonRect, MainButtonCorner, installing ? BusyButtonColour : AccentColour);
    DrawLabel(dc, state.buttonLabel, MainButtonRect, state.fontBold, installing ? BusyButtonLabelColour : WhiteColour,
              CentreFormat);
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

    const Screen screen = CurrentScreen(state);
    DrawHeadline(dc, screen, state);
    if (screen == Screen::Idle || screen == Screen::Failure) DrawLocationBlock(dc, state);
    if (screen == Screen::Installing) DrawProgressBlock(dc, state);
    if (screen == Screen::Success) DrawOpenOption(dc, state);
    DrawMainButton(dc, state);
}

void FillRoundRect(HDC dc, const RECT& rect, int corner, COLORREF colour) {
    UniqueGdiObject brush(CreateSolidBrush(colour));
    UniqueGdiObject pen(CreatePen(PS_SOLID, 1, colour));
    SelectedObject brushSelection(dc, brush.get());
    SelectedObject penSelection(dc, pen.get());
    RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
}

void DrawLabel(HDC dc, const std::wstring& text, const RECT& rect, HFONT font, COLORREF colour, UINT format) {
    SelectedObject fontSelection(dc, font);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    RECT bounds = rect;  // DrawTextW takes a writable rectangle
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, format);
}

void DrawCheckMark(HDC dc, const RECT& box) {
    UniqueGdiObject pen(CreatePen(PS_SOLID, 2, WhiteColour));
    SelectedObject penSelection(dc, pen.get());
    MoveToEx(dc, box.left + 4, box.top + 9, nullptr);
    LineTo(dc, box.left + 8, box.top + 13);
    LineTo(dc, box.left + 15, box.top + 5);
}
