// The painter, drawn into a 560 x 380 DIB and checked colour by colour and region by region.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/layout.h"
#include "app/paint.h"
#include "app/palette.h"
#include "app/state.h"
#include "tests/app/bitmap_file.h"
#include "tests/app/test_window.h"

namespace {

constexpr UINT Left = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
constexpr UINT Centre = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT Right = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;

constexpr RECT Client{0, 0, WindowWidth, WindowHeight};

class PaintTest : public ::testing::Test {
protected:
    void SetUp() override { ResetInstallerState(state); }
    void TearDown() override {
        for (HFONT font : {state.fontBody, state.fontSmall, state.fontEmphasis, state.fontBold, state.fontHeadline})
            DeleteObject(font);
    }

    // The screen with a folder on the idle and failure screens, a status on the installing one.
    void Enter(Screen screen) {
        ResetInstallerState(state);
        EnterScreen(state, screen);
        if (screen == Screen::Idle || screen == Screen::Failure) {
            state.installFolder = L"C:\\Users\\Ana\\AppData\\Roaming\\Kestravon";
        } else if (screen == Screen::Installing) {
            state.statusTitle = L"Downloading Kestravon";
            state.statusDetail = L"Downloading installation files...";
            state.progress.exchange(40);
        }
    }

    void Paint() { PaintInstallerContents(canvas.dc.get(), Client, state); }

    // True when `rect` of the painting equals `text` drawn alone over what `underneath`
    // paints, and that drawing has visible pixels: the text, font, colour, format and clip.
    ::testing::AssertionResult ShowsLabel(const std::wstring& text, const RECT& rect, HFONT font, COLORREF colour,
                                          UINT format, const std::function<void(HDC)>& underneath) {
        Canvas reference(560, 380);
        underneath(reference.dc.get());
        Canvas blank(560, 380);
        underneath(blank.dc.get());
        DrawLabel(reference.dc.get(), text.c_str(), rect, font, colour, format);
        int inked = 0;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) {
                if (reference.At(x, y) != canvas.At(x, y))
                    return ::testing::AssertionFailure() << "pixel " << x << "," << y << " differs";
                inked += reference.At(x, y) != blank.At(x, y);
            }
        }
        if (inked == 0) return ::testing::AssertionFailure() << "the reference text left no pixels";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult ShowsLabelOnBackground(const std::wstring& text, const RECT& rect, HFONT font,
                                                      COLORREF colour, UINT format) {
        return ShowsLabel(text, rect, font, colour, format, [](HDC dc) { FillBackground(dc, BackgroundColour); });
    }

    static void FillBackground(HDC dc, COLORREF colour) {
        UniqueGdiObject brush(CreateSolidBrush(colour));
        FillRect(dc, &Client, static_cast<HBRUSH>(brush.get()));
    }

    InstallerState state;
    Canvas canvas{560, 380};
};

TEST_F(PaintTest, TheCanvasIsUsable) {
    ASSERT_NE(canvas.bits, nullptr);
    ASSERT_TRUE(state.fontBody);
}

TEST_F(PaintTest, HeaderAndFrameAreTheSameOnEveryScreen) {
    for (Screen screen : AllScreens) {
        SCOPED_TRACE(ScreenName(screen));
        Enter(screen);
        Paint();
        EXPECT_EQ(canvas.At(0, 0), AccentColour);
        EXPECT_EQ(canvas.At(280, 1), AccentColour);
        EXPECT_EQ(canvas.At(559, 1), AccentColour);
        EXPECT_EQ(canvas.At(280, 2), BackgroundColour);
        EXPECT_EQ(canvas.At(20, 20), BackgroundColour);
        EXPECT_EQ(canvas.At(5, 200), BackgroundColour);
        EXPECT_EQ(canvas.At(555, 375), BackgroundColour);
        EXPECT_EQ(CountOther(canvas, AppIconRect, BackgroundColour), 0);  // no icon loaded
        EXPECT_TRUE(ShowsLabelOnBackground(L"KESTRAVON", WordmarkRect, state.fontBold, WordmarkColour, Left));
        EXPECT_TRUE(ShowsLabelOnBackground(L"WINDOWS INSTALLER", TaglineRect, state.fontSmall, TaglineColour, Left));
        EXPECT_TRUE(ShowsLabelOnBackground(L"x", CloseButtonRect, state.fontEmphasis, CloseGlyphColour, Centre));
    }
}

TEST_F(PaintTest, TheIconIsDrawnWhenLoaded) {
    state.appIcon = LoadIconW(nullptr, IDI_APPLICATION);
    ASSERT_NE(state.appIcon, nullptr);
    Paint();
    EXPECT_GT(CountOther(canvas, AppIconRect, BackgroundColour), 100);
    EXPECT_EQ(CountOther(canvas, RECT{20, 38, 40, 72}, BackgroundColour), 0);
}

struct ScreenCase {
    Screen screen;
    const wchar_t* file;  // the painting is saved as screen-<file>.bmp in the build tree
    const wchar_t* headline;
    const wchar_t* subLine;
    COLORREF subLineColour;
    // Expected colours at probes of the middle blocks.
    COLORREF locationBox;   // (47, 241): inside the location box
    COLORREF changeButton;  // (428, 241): inside "Change"
    COLORREF track;         // (515, 235): the progress track's right end
    COLORREF optionBox;     // (41, 227): inside the option box
    COLORREF button;        // (60, 305): the main button
    COLORREF buttonLabel;
};

TEST_F(PaintTest, EachScreenDrawsItsOwnBlocks) {
    const ScreenCase cases[] = {
        {.screen = Screen::Idle, .file = L"idle", .headline = L"Install Kestravon",
         .subLine = L"Fast. Clean. Ready to launch.", .subLineColour = SubLineIdleColour,
         .locationBox = LocationBoxColour, .changeButton = ControlColour, .track = LocationBoxColour,
         .optionBox = LocationBoxColour, .button = AccentColour, .buttonLabel = WhiteColour},
        {.screen = Screen::Installing, .file = L"installing", .headline = L"Setting up Kestravon",
         .subLine = L"Downloading Kestravon", .subLineColour = SubLineInstallingColour,
         .locationBox = BackgroundColour, .changeButton = BackgroundColour, .track = ControlColour,
         .optionBox = BackgroundColour, .button = BusyButtonColour, .buttonLabel = BusyButtonLabelColour},
        {.screen = Screen::Success, .file = L"success", .headline = L"Kestravon is ready",
         .subLine = L"Installation completed successfully.", .subLineColour = SubLineOutcomeColour,
         .locationBox = BackgroundColour, .changeButton = BackgroundColour, .track = BackgroundColour,
         .optionBox = AccentColour, .button = AccentColour, .buttonLabel = WhiteColour},
        {.screen = Screen::Failure, .file = L"failure", .headline = L"Setup could not finish",
         .subLine = L"The download was interrupted.", .subLineColour = SubLineOutcomeColour,
         .locationBox = LocationBoxColour, .changeButton = ControlColour, .track = LocationBoxColour,
         .optionBox = LocationBoxColour, .button = AccentColour, .buttonLabel = WhiteColour},
    };
    for (const ScreenCase& c : cases) {
        SCOPED_TRACE(ScreenName(c.screen));
        Enter(c.screen);
        Paint();
        const std::wstring file = BuildTreeFile(L"screen-" + std::wstring(c.file) + L".bmp");
        if (!file.empty()) SaveBitmap(file, std::vector<std::uint32_t>(canvas.bits, canvas.bits + 560 * 380), 560, 380);
        EXPECT_TRUE(ShowsLabelOnBackground(c.headline, HeadlineRect, state.fontHeadline, HeadlineColour, Left));
        EXPECT_TRUE(ShowsLabelOnBackground(c.subLine, SubLineRect, state.fontEmphasis, c.subLineColour,
                                           Left | DT_END_ELLIPSIS));
        EXPECT_EQ(canvas.At(47, 241), c.locationBox);
        EXPECT_EQ(canvas.At(428, 241), c.changeButton);
        EXPECT_EQ(canvas.At(515, 235), c.track);
        EXPECT_EQ(canvas.At(41, 227), c.optionBox);
        EXPECT_EQ(canvas.At(60, 305), c.button);
        EXPECT_TRUE(ShowsLabel(state.buttonLabel, MainButtonRect, state.fontBold, c.buttonLabel, Centre,
                               [&](HDC dc) {
                                   FillBackground(dc, BackgroundColour);
                                   FillRoundRect(dc, MainButtonRect, MainButtonCorner, c.button);
                               }));

        const bool locationBlock = c.screen == Screen::Idle || c.screen == Screen::Failure;
        if (locationBlock) {
            EXPECT_TRUE(
                ShowsLabelOnBackground(L"Install location", LocationLabelRect, state.fontSmall, LabelColour, Left));
            EXPECT_TRUE(ShowsLabel(L"Change", ChangeButtonRect, state.fontSmall, ChangeTextColour, Centre, [&](HDC dc) {
                FillBackground(dc, BackgroundColour);
                FillRoundRect(dc, LocationBoxRect, LocationBoxCorner, LocationBoxColour);
                FillRoundRect(dc, ChangeButtonRect, ChangeButtonCorner, ControlColour);
            }));
            EXPECT_TRUE(ShowsLabel(state.installFolder, FolderTextRect, state.fontBody, SubLineOutcomeColour,
                                   Left | DT_PATH_ELLIPSIS, [&](HDC dc) {
                                       FillBackground(dc, BackgroundColour);
                                       FillRoundRect(dc, LocationBoxRect, LocationBoxCorner, LocationBoxColour);
                                   }));
        } else if (c.screen == Screen::Success) {
            EXPECT_EQ(CountOther(canvas, LocationLabelRect, BackgroundColour), 0);
        }
        if (c.screen == Screen::Installing) {
            EXPECT_TRUE(ShowsLabelOnBackground(state.statusDetail, DetailRect, state.fontBody, LabelColour,
                                               Left | DT_END_ELLIPSIS));
        } else {
            EXPECT_EQ(CountEqual(canvas, PercentRect, PercentColour), 0);  // no percentage
        }
        if (c.screen == Screen::Success) {
            EXPECT_TRUE(
                ShowsLabelOnBackground(L"Open Kestravon", OpenOptionLabelRect, state.fontBody, OptionLabelColour, Left));
        } else {
            EXPECT_EQ(CountEqual(canvas, RECT{68, 211, 260, 218}, OptionLabelColour), 0);
        }
    }
}

struct ProgressCase {
    int progress;
    int fillWidth;
    const wchar_t* text;
};

TEST_F(PaintTest, ProgressIsClampedAndNeverThinnerThanTenPixels) {
    const ProgressCase cases[] = {
        {-5, 0, L"0%"},  {0, 0, L"0%"},     {1, 10, L"1%"},      {2, 10, L"2%"},
        {3, 14, L"3%"},  {50, 240, L"50%"}, {100, 480, L"100%"}, {150, 480, L"100%"},
    };
    for (const ProgressCase& c : cases) {
        SCOPED_TRACE(c.progress);
        Enter(Screen::Installing);
        state.progress.exchange(c.progress);
        Paint();
        // The middle row of the bar: accent from x = 40 for the fill's width, then track.
        EXPECT_EQ(CountEqual(canvas, RECT{40, 235, 520, 236}, AccentColour), c.fillWidth);
        if (c.fillWidth > 0) EXPECT_EQ(canvas.At(40 + c.fillWidth - 1, 235), AccentColour);
        if (c.fillWidth < 480) {
            EXPECT_EQ(canvas.At(519, 235), ControlColour);
            EXPECT_EQ(canvas.At(40 + c.fillWidth + 1, 235), ControlColour);
        }
        EXPECT_EQ(canvas.At(39, 235), BackgroundColour);
        EXPECT_EQ(canvas.At(520, 235), BackgroundColour);
        EXPECT_EQ(CountOther(canvas, RECT{40, 241, 465, 247}, BackgroundColour), 0);  // nothing under the bar
        EXPECT_TRUE(ShowsLabelOnBackground(c.text, PercentRect, state.fontSmall, PercentColour, Right));
    }
}

TEST_F(PaintTest, TheCheckMarkShowsOnlyWhileTheOptionIsOn) {
    for (bool on : {true, false}) {
        SCOPED_TRACE(on ? "on" : "off");
        Enter(Screen::Success);
        state.openAfterInstall = on;
        Paint();
        EXPECT_EQ(canvas.At(41, 227), on ? AccentColour : ControlColour);
        const int white = CountEqual(canvas, OpenOptionBoxRect, WhiteColour);
        if (on) {
            EXPECT_GT(white, 12);
            EXPECT_EQ(canvas.At(46, 229), WhiteColour);  // on the first stroke
            EXPECT_EQ(canvas.At(52, 226), WhiteColour);  // on the second stroke
            EXPECT_EQ(canvas.At(44, 222), AccentColour);  // above the tick
        } else {
            EXPECT_EQ(white, 0);
        }
    }
}

TEST_F(PaintTest, AnEmptyFailureTextAsksToTryAgain) {
    Enter(Screen::Failure);
    state.statusDetail.clear();
    Paint();
    EXPECT_TRUE(ShowsLabelOnBackground(L"Please try again.", SubLineRect, state.fontEmphasis,
                                       SubLineOutcomeColour, Left | DT_END_ELLIPSIS));
}

TEST_F(PaintTest, LongTextsStayInsideTheirRectangles) {
    const std::wstring longText(400, L'W');
    Enter(Screen::Installing);
    state.statusTitle = longText;
    state.statusDetail = longText;
    state.buttonLabel = longText;
    Paint();
    EXPECT_EQ(CountOther(canvas, RECT{520, 100, 560, 300}, BackgroundColour), 0);
    EXPECT_TRUE(ShowsLabelOnBackground(longText, SubLineRect, state.fontEmphasis, SubLineInstallingColour,
                                       Left | DT_END_ELLIPSIS));

    Enter(Screen::Idle);
    state.installFolder = L"C:\\" + std::wstring(300, L'a') + L"\\Kestravon";
    Paint();
    EXPECT_EQ(CountOther(canvas, RECT{414, 221, 424, 261}, LocationBoxColour), 0);  // between path and "Change"
}

}  // namespace
