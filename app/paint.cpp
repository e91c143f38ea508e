// Painting of the four screens, straight into the paint DC.
#include "app/paint.h"

#include <algorithm>

#include "common/decimal.h"
#include "common/win_owners.h"

namespace {

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
constexpr COLORREF WhiteColour = RGB(255, 255, 255);
constexpr COLORREF BusyButtonColour = RGB(24, 29, 37);
constexpr COLORREF BusyButtonLabelColour = RGB(103, 113, 126);

constexpr UINT LeftFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT CentreFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT RightFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT EndEllipsisFormat = LeftFormat | DT_END_ELLIPSIS;
constexpr UINT PathEllipsisFormat = LeftFormat | DT_PATH_ELLIPSIS;

constexpr int ProgressMinimumWidth = 10;

// BeginPaint and its EndPaint, as one owner.
class PaintSession {
public:
    explicit PaintSession(HWND window) noexcept : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintSession() { EndPaint(window_, &paint_); }
    PaintSession(const PaintSession&) = delete;
    PaintSession& operator=(const PaintSession&) = delete;
    HDC dc() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

void FillSolidRect(HDC dc, const RECT& rect, COLORREF colour) {
    UniqueGdiObject brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

struct HeadlineTexts {
    const wchar_t* headline;
    const std::wstring* subLine;  // points into the state or at a fixed text below
    COLORREF subLineColour;
};

const std::wstring IdleSubLine = L"Fast. Clean. Ready to launch.";
const std::wstring SuccessSubLine = L"Installation completed successfully.";
const std::wstring FailureFallback = L"Please try again.";

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

void DrawHeader(HDC dc, const InstallerState& state) {
    if (state.appIcon) DrawIconEx(dc, 40, 38, state.appIcon, 34, 34, 0, nullptr, DI_NORMAL);
    DrawLabel(dc, L"KESTRAVON", RECT{86, 34, 330, 61}, state.fontBold, WordmarkColour, LeftFormat);
    DrawLabel(dc, L"WINDOWS INSTALLER", RECT{86, 57, 340, 82}, state.fontSmall, TaglineColour, LeftFormat);
    DrawLabel(dc, L"x", CloseButtonRect, state.fontEmphasis, CloseGlyphColour, CentreFormat);
}

void DrawHeadline(HDC dc, const RECT& client, Screen screen, const InstallerState& state) {
    const HeadlineTexts texts = TextsFor(screen, state);
    DrawLabel(dc, texts.headline, RECT{40, 104, client.right - 40, 143}, state.fontHeadline, HeadlineColour,
              LeftFormat);
    DrawLabel(dc, *texts.subLine, RECT{40, 145, client.right - 40, 178}, state.fontEmphasis, texts.subLineColour,
              EndEllipsisFormat);
}

void DrawLocationBlock(HDC dc, const InstallerState& state) {
    DrawLabel(dc, L"Install location", RECT{40, 190, 220, 216}, state.fontSmall, LabelColour, LeftFormat);
    FillRoundRect(dc, LocationBoxRect, 12, LocationBoxColour);
    DrawLabel(dc, state.installFolder, RECT{54, 221, 414, 261}, state.fontBody, SubLineOutcomeColour,
              PathEllipsisFormat);
    FillRoundRect(dc, ChangeButtonRect, 10, ControlColour);
    DrawLabel(dc, L"Change", ChangeButtonRect, state.fontSmall, ChangeTextColour, CentreFormat);
}

void DrawProgressBlock(HDC dc, const RECT& client, const InstallerState& state) {
    DrawLabel(dc, state.statusDetail, RECT{40, 186, client.right - 40, 214}, state.fontBody, LabelColour,
              EndEllipsisFormat);
    FillRoundRect(dc, RECT{40, 230, client.right - 40, 240}, 10, ControlColour);
    const int percent = std::clamp(state.progress.load(), 0, 100);
    if (percent > 0) {
        const int width = std::max(static_cast<int>((client.right - 80) * percent / 100), ProgressMinimumWidth);
        FillRoundRect(dc, RECT{40, 230, 40 + width, 240}, 10, AccentColour);
    }
    DrawLabel(dc, DecimalText(static_cast<unsigned>(percent)) + L"%", RECT{client.right - 95, 247, client.right - 40, 273},
              state.fontSmall, PercentColour, RightFormat);
}

void DrawOpenOption(HDC dc, const InstallerState& state) {
    constexpr RECT Box{40, 218, 58, 236};
    FillRoundRect(dc, Box, 5, state.openAfterInstall ? AccentColour : ControlColour);
    if (state.openAfterInstall) DrawCheckMark(dc, Box);
    DrawLabel(dc, L"Open Kestravon", RECT{68, 211, 260, 244}, state.fontBody, OptionLabelColour, LeftFormat);
}

void DrawMainButton(HDC dc, const InstallerState& state) {
    const bool installing = state.installing.load();  // one reading for fill and label
    FillRoundRect(dc, MainButtonRect, 16, installing ? BusyButtonColour : AccentColour);
    DrawLabel(dc, state.buttonLabel, MainButtonRect, state.fontBold, installing ? BusyButtonLabelColour : WhiteColour,
              CentreFormat);
}

}  // namespace

void PaintInstallerWindow(HWND window) {
    PaintSession paint(window);
    RECT client{};
    GetClientRect(window, &client);
    PaintInstallerContents(paint.dc(), client, g_state);
}

void PaintInstallerContents(HDC dc, const RECT& client, const InstallerState& state) {
    FillSolidRect(dc, client, BackgroundColour);
    FillSolidRect(dc, RECT{0, 0, client.right, 2}, AccentColour);
    DrawHeader(dc, state);

    const Screen screen = CurrentScreen(state);
    DrawHeadline(dc, client, screen, state);
    if (screen == Screen::Idle || screen == Screen::Failure) DrawLocationBlock(dc, state);
    if (screen == Screen::Installing) DrawProgressBlock(dc, client, state);
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
    UniqueGdiObject pen(CreatePen(PS_SOLID, 2, RGB(255, 255, 255)));
    SelectedObject penSelection(dc, pen.get());
    MoveToEx(dc, box.left + 4, box.top + 9, nullptr);
    LineTo(dc, box.left + 8, box.top + 13);
    LineTo(dc, box.left + 15, box.top + 5);
}
