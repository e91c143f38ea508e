// The window procedure, BeginInstall and start-up, driven on the real installer window.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <oleacc.h>

#include "app/accessibility.h"
#include "app/layout.h"
#include "app/startup.h"
#include "app/state.h"
#include "app/taskbar.h"
#include "app/window.h"
#include "pipeline/messages.h"
#include "tests/app/app_fakes.h"
#include "tests/app/test_window.h"

namespace {

struct Fields {
    bool installing = false;
    bool succeeded = false;
    bool failed = false;
    int progress = 0;
    std::wstring buttonLabel;
    std::wstring statusTitle;
    std::wstring statusDetail;
};

Fields Snapshot() {
    return Fields{g_state.installing.load(), g_state.succeeded.load(), g_state.failed, g_state.progress.load(),
                  g_state.buttonLabel, g_state.statusTitle, g_state.statusDetail};
}

void ExpectFields(const Fields& expected, const char* context) {
    SCOPED_TRACE(context);
    const Fields actual = Snapshot();
    EXPECT_EQ(actual.installing, expected.installing);
    EXPECT_EQ(actual.succeeded, expected.succeeded);
    EXPECT_EQ(actual.failed, expected.failed);
    EXPECT_EQ(actual.progress, expected.progress);
    EXPECT_EQ(actual.buttonLabel, expected.buttonLabel);
    EXPECT_EQ(actual.statusTitle, expected.statusTitle);
    EXPECT_EQ(actual.statusDetail, expected.statusDetail);
}

// A point of the drag strip on no control.
constexpr POINT InTheStrip{200, 50};

// The token of the run that EnterScreen(Screen::Installing) awaits.
constexpr UINT_PTR RunToken = 0x5EED'CAFE;

// Posts a worker message of the run `token`, in the parameters the worker uses.
bool PostWorkerMessage(HWND window, UINT message, WPARAM percent, LPARAM payload, UINT_PTR token = RunToken) {
    if (message == WM_APP_PROGRESS) return PostMessageW(window, message, percent, static_cast<LPARAM>(token));
    return PostMessageW(window, message, token, payload);
}

void EnterScreen(Screen screen) { ::EnterScreen(g_state, screen, RunToken); }

class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetInstallerState(g_state);
        g_fakes = AppFakes{};
        window = CreateTestInstallerWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(g_state.mainWindow, window);
        // Left hidden: without a window manager under Xvfb, Wine waits two seconds for
        // each shown window to be withdrawn when it is destroyed.
        PumpMessages();
    }
    void TearDown() override {
        if (GetCapture() == window) ReleaseCapture();
        DestroyTestInstallerWindow(window);
    }
    // Builds a fresh window on `screen` (a case may have closed the previous one).
    void Restart(Screen screen) {
        TearDown();
        SetUp();
        EnterScreen(screen);
    }
    void Press(POINT p) { SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y)); }
    void Release(POINT p) { SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y)); }
    bool Open() const { return IsWindow(window) != FALSE; }

    HWND window = nullptr;
};

enum class Payload { None, Status, Text, EmptyText };

struct MessageCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    Payload payload;
    Fields expected;
};

TEST_F(WindowProcTest, WorkerMessagesChangeTheStateAsPosted) {
    const std::wstring title = L"Downloading Kestravon";
    const std::wstring detail = L"Downloading installation files...";
    const std::wstring label = L"Installing...";
    const MessageCase cases[] = {
        {"status", WM_APP_STATUS, 0, Payload::Status,
         {.installing = true, .progress = 40, .buttonLabel = label, .statusTitle = L"Installing Kestravon",
          .statusDetail = L"Installing to your selected folder..."}},
        {"status without payload", WM_APP_STATUS, 0, Payload::None,
         {.installing = true, .progress = 40, .buttonLabel = label, .statusTitle = title, .statusDetail = detail}},
        {"progress 150 stored unclamped", WM_APP_PROGRESS, 150, Payload::None,
         {.installing = true, .progress = 150, .buttonLabel = label, .statusTitle = title, .statusDetail = detail}},
        {"progress takes the low 32 bits, signed", WM_APP_PROGRESS, static_cast<WPARAM>(0x1FFFFFFFBull), Payload::None,
         {.installing = true, .progress = -5, .buttonLabel = label, .statusTitle = title, .statusDetail = detail}},
        {"succeeded", WM_APP_SUCCEEDED, 0, Payload::None,
         {.succeeded = true, .progress = 40, .buttonLabel = L"Done", .statusTitle = title, .statusDetail = detail}},
        {"failed", WM_APP_FAILED, 0, Payload::Text,
         {.failed = true, .buttonLabel = L"Try Again", .statusTitle = L"Installation failed",
          .statusDetail = L"The download was interrupted."}},
        {"failed without payload", WM_APP_FAILED, 0, Payload::None,
         {.failed = true, .buttonLabel = L"Try Again", .statusTitle = L"Installation failed",
          .statusDetail = L"An unexpected error occurred."}},
        {"failed with empty text", WM_APP_FAILED, 0, Payload::EmptyText,
         {.failed = true, .buttonLabel = L"Try Again", .statusTitle = L"Installation failed", .statusDetail = L""}},
    };
    for (const MessageCase& c : cases) {
        Restart(Screen::Installing);
        g_state.statusTitle = title;
        g_state.statusDetail = detail;
        g_state.progress.exchange(40);
        LPARAM lParam = 0;
        if (c.payload == Payload::Status) {
            lParam = reinterpret_cast<LPARAM>(
                new StatusUpdate{L"Installing Kestravon", L"Installing to your selected folder..."});
        } else if (c.payload == Payload::Text) {
            lParam = reinterpret_cast<LPARAM>(new std::wstring(L"The download was interrupted."));
        } else if (c.payload == Payload::EmptyText) {
            lParam = reinterpret_cast<LPARAM>(new std::wstring());
        }
        // Through the queue, as the worker delivers them.
        ASSERT_TRUE(PostWorkerMessage(window, c.message, c.wParam, lParam));
        PumpMessages();
        ExpectFields(c.expected, c.name);
        EXPECT_TRUE(Open()) << c.name;
    }
}

TEST_F(WindowProcTest, PostingOperationsReachTheWindowInOrder) {
    EnterScreen(Screen::Installing);
    RunReport report{window, RunToken};
    PostStatus(report, L"Preparing setup", L"Checking installation files...");
    PostProgress(report, 2);
    PostFailure(report, L"Could not reach the release service.");
    PumpMessages();
    ExpectFields({.failed = true, .buttonLabel = L"Try Again", .statusTitle = L"Installation failed",
                  .statusDetail = L"Could not reach the release service."},
                 "after status, progress, failure");
}

// Messages of no run, of another run, or after the run's final one change nothing, and
// their parameters are never read: the payload pointers here would crash the process.
TEST_F(WindowProcTest, OnlyTheAwaitedRunsMessagesAreApplied) {
    const auto bogus = static_cast<LPARAM>(0x10);
    struct ForeignCase {
        const char* name;
        Screen screen;
        UINT message;
        UINT_PTR token;
    };
    const ForeignCase cases[] = {
        {"status of another run", Screen::Installing, WM_APP_STATUS, RunToken + 1},
        {"progress of another run", Screen::Installing, WM_APP_PROGRESS, RunToken ^ 0x100},
        {"success of another run", Screen::Installing, WM_APP_SUCCEEDED, 0},
        {"failure of another run", Screen::Installing, WM_APP_FAILED, 1},
        {"status while idle", Screen::Idle, WM_APP_STATUS, RunToken},
        {"failure while idle", Screen::Idle, WM_APP_FAILED, 0},
        {"success on the failure screen", Screen::Failure, WM_APP_SUCCEEDED, RunToken},
        {"failure on the success screen", Screen::Success, WM_APP_FAILED, RunToken},
    };
    for (const ForeignCase& c : cases) {
        Restart(c.screen);
        const Fields before = Snapshot();
        ASSERT_TRUE(PostWorkerMessage(window, c.message, 77, bogus, c.token));
        PumpMessages();
        ExpectFields(before, c.name);
    }
    // The final message ends the run: a second one from the same run is not applied.
    Restart(Screen::Installing);
    ASSERT_TRUE(PostWorkerMessage(window, WM_APP_SUCCEEDED, 0, 0));
    PumpMessages();
    const Fields succeeded = Snapshot();
    EXPECT_TRUE(succeeded.succeeded);
    ASSERT_TRUE(PostWorkerMessage(window, WM_APP_FAILED, 0, bogus));
    PumpMessages();
    ExpectFields(succeeded, "failure after success");
    // Presses of the live close glyph that no screen reader asked for, before any reader
    // pressed (no token drawn) and with another token: the window stays.
    for (const UINT_PTR drawn : {UINT_PTR{0}, UINT_PTR{0x7E57}}) {
        Restart(Screen::Idle);
        g_state.pressToken = drawn;
        const auto wrong = static_cast<LPARAM>(drawn ? drawn + 1 : 0);
        ASSERT_TRUE(PostMessageW(window, WM_APP_PRESS, MAKEWPARAM(CloseId, Screen::Idle), wrong));
        PumpMessages();
        EXPECT_TRUE(Open()) << "token " << drawn;
    }
}

struct ReaderPressCase {
    const char* name;
    Screen screen;
    LONG child;
    HRESULT answer;
    bool disabled = false;         // as while the folder picker is up
    bool pickedMeanwhile = false;  // a folder is picked before the press arrives: the idle screen
    LONG then = 0;                 // pressed next, before the first press arrives
    bool closes = false;
};

// A screen reader's press is refused, or dropped when it arrives, wherever a click would not act.
TEST_F(WindowProcTest, AReadersPressActsOnlyWhereAClickWould) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const ReaderPressCase cases[] = {
        {"install while the window is disabled", Screen::Idle, MainButtonId, E_FAIL, true},
        {"the unavailable close glyph", Screen::Installing, CloseId, E_FAIL},
        {"the headline, a text", Screen::Idle, HeadlineId, DISP_E_MEMBERNOTFOUND},
        {"try again on a screen gone", Screen::Failure, MainButtonId, S_OK, false, true},
        {"close, then install at once", Screen::Idle, CloseId, S_OK, false, false, MainButtonId, true},
    };
    for (const ReaderPressCase& c : cases) {
        SCOPED_TRACE(c.name);
        Restart(c.screen);
        g_state.installFolder = L"C:\\Kestravon";
        EnableWindow(window, !c.disabled);
        const ComPtr<IAccessible> client = ClientAccessibleOf(window);
        ASSERT_TRUE(client);
        EXPECT_EQ(client->accDoDefaultAction(ChildId(c.child)), c.answer);
        if (c.then) EXPECT_EQ(client->accDoDefaultAction(ChildId(c.then)), S_OK);
        if (c.pickedMeanwhile) g_state.failed = false;
        const Screen before = CurrentScreen(g_state);
        PumpMessages();
        EXPECT_EQ(CurrentScreen(g_state), before) << "no worker started";
        EXPECT_EQ(Open(), !c.closes);
    }
}

TEST_F(WindowProcTest, TheClientAreaHasTheFocusWhileTheWindowIsActive) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const ComPtr<IAccessible> client = ClientAccessibleOf(window);
    ASSERT_TRUE(client);
    EXPECT_EQ(client->accSelect(SELFLAG_TAKEFOCUS, ChildId(CHILDID_SELF)), S_OK);  // as a reader gives it
    VARIANT focus{}, state{};
    EXPECT_EQ(client->get_accFocus(&focus), S_OK);
    EXPECT_EQ(client->get_accState(ChildId(CHILDID_SELF), &state), S_OK);
    EXPECT_EQ((std::array<LONG, 3>{focus.vt, focus.lVal, state.lVal}),
              (std::array<LONG, 3>{VT_I4, CHILDID_SELF, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED}));
}

// A refused call's answer, and whether it left every out-parameter VT_EMPTY, null or 0, so
// that a caller that clears them frees nothing; each starts as garbage.
struct Refusal {
    HRESULT answer;
    bool cleared;
};
template <typename Out>
Out Garbage() {
    Out out;
    std::memset(&out, 0xCD, sizeof(out));
    return out;
}
template <HRESULT (STDMETHODCALLTYPE IAccessible::*Get)(VARIANT, BSTR*)>
Refusal TextOf(IAccessible& client, VARIANT child) {
    BSTR text = Garbage<BSTR>();
    return {(client.*Get)(child, &text), text == nullptr};
}
template <HRESULT (STDMETHODCALLTYPE IAccessible::*Get)(VARIANT, VARIANT*)>
Refusal VariantOf(IAccessible& client, VARIANT child) {
    VARIANT out = Garbage<VARIANT>();
    return {(client.*Get)(child, &out), out.vt == VT_EMPTY};
}
struct OutCase {
    const char* method;
    Refusal (*call)(IAccessible& client, VARIANT child);
    HRESULT forOtherScreensId = E_INVALIDARG;
    HRESULT whenGone = RPC_E_DISCONNECTED;
};

TEST_F(WindowProcTest, RefusedCallsClearTheirOutParameters) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const OutCase cases[] = {
        {"get_accName", TextOf<&IAccessible::get_accName>},
        {"get_accValue", TextOf<&IAccessible::get_accValue>},
        {"get_accDefaultAction", TextOf<&IAccessible::get_accDefaultAction>},
        {"get_accRole", VariantOf<&IAccessible::get_accRole>},
        {"get_accState", VariantOf<&IAccessible::get_accState>},
        {"accNavigate", [](IAccessible& a, VARIANT c) {
             VARIANT end = Garbage<VARIANT>();
             return Refusal{a.accNavigate(NAVDIR_NEXT, c, &end), end.vt == VT_EMPTY};
         }},
        {"accHitTest at the screen's corner, outside the window", [](IAccessible& a, VARIANT) {
             VARIANT hit = Garbage<VARIANT>();
             return Refusal{a.accHitTest(0, 0, &hit), hit.vt == VT_EMPTY};
         }, S_FALSE, E_FAIL},
        {"accLocation", [](IAccessible& a, VARIANT c) {
             auto box = Garbage<std::array<LONG, 4>>();
             return Refusal{a.accLocation(&box[0], &box[1], &box[2], &box[3], c), box == std::array<LONG, 4>{}};
         }},
    };
    EnterScreen(Screen::Success);
    const ComPtr<IAccessible> client = ClientAccessibleOf(window);
    ASSERT_TRUE(client);
    for (const bool gone : {false, true}) {  // the bar's id, not on this screen; then no window at all
        if (gone) DestroyWindow(window);
        for (const OutCase& c : cases) {
            const Refusal refusal = c.call(*client.get(), ChildId(gone ? CHILDID_SELF : BarId));
            EXPECT_EQ(refusal.answer, gone ? c.whenGone : c.forOtherScreensId) << c.method << (gone ? ", gone" : "");
            EXPECT_TRUE(refusal.cleared) << c.method << (gone ? ", gone" : "");
        }
    }
}

struct CloseCase {
    Screen screen;
    bool viaGlyph = false;  // a press on the close glyph instead of WM_CLOSE
    bool closes = false;
};

TEST_F(WindowProcTest, CloseIsRefusedOnlyWhileInstalling) {
    const CloseCase cases[] = {
        {.screen = Screen::Idle, .closes = true},    {.screen = Screen::Idle, .viaGlyph = true, .closes = true},
        {.screen = Screen::Installing},              {.screen = Screen::Installing, .viaGlyph = true},
        {.screen = Screen::Success, .closes = true}, {.screen = Screen::Success, .viaGlyph = true, .closes = true},
        {.screen = Screen::Failure, .closes = true}, {.screen = Screen::Failure, .viaGlyph = true, .closes = true},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(std::string(ScreenName(c.screen)) + (c.viaGlyph ? " glyph" : " WM_CLOSE"));
        Restart(c.screen);
        if (c.viaGlyph) {
            Press(CentreOf(CloseButtonRect));
        } else {
            SendMessageW(window, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(Open(), !c.closes);
        EXPECT_FALSE(g_state.dragging);  // the glyph lies in the drag strip but never drags
        EXPECT_EQ(g_fakes.launchCalls, 0);  // the glyph never opens the application
    }
}

TEST_F(WindowProcTest, APressInTheTopStripDragsOnEveryScreen) {
    constexpr POINT LastStripRow{200, DragStripHeight - 1};
    for (Screen screen : AllScreens) {
        SCOPED_TRACE(ScreenName(screen));
        Restart(screen);
        Press(LastStripRow);
        EXPECT_TRUE(g_state.dragging);
        EXPECT_EQ(g_state.dragAnchor.x, LastStripRow.x);
        EXPECT_EQ(g_state.dragAnchor.y, LastStripRow.y);
        EXPECT_EQ(GetCapture(), window);
        Release(LastStripRow);
        EXPECT_FALSE(g_state.dragging);
        EXPECT_NE(GetCapture(), window);

        Press(POINT{LastStripRow.x, DragStripHeight});  // first row below the strip, on no control
        EXPECT_FALSE(g_state.dragging);
        EXPECT_NE(GetCapture(), window);
    }
}

TEST_F(WindowProcTest, DraggingKeepsTheGrabbedPointUnderTheCursor) {
    g_state.dragging = true;
    g_state.dragAnchor = POINT{100, 50};
    ASSERT_TRUE(SetCursorPos(400, 300));
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT before{};
    GetWindowRect(window, &before);

    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(100, 50));  // button not down: no move
    RECT still{};
    GetWindowRect(window, &still);
    EXPECT_EQ(still.left, before.left);
    EXPECT_EQ(still.top, before.top);

    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 50));
    RECT moved{};
    GetWindowRect(window, &moved);
    EXPECT_EQ(moved.left, cursor.x - 100);
    EXPECT_EQ(moved.top, cursor.y - 50);
    EXPECT_EQ(moved.right - moved.left, WindowWidth);
    EXPECT_EQ(moved.bottom - moved.top, WindowHeight);

    g_state.dragging = false;
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(0, 0));
    RECT after{};
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left, moved.left);
}

// Capture taken by another window mid-drag (Alt+Tab, a dialog) ends the drag: a later
// press-and-move does not move the window by the old anchor.
TEST_F(WindowProcTest, ADragEndsWhenCaptureIsTakenAway) {
    Press(InTheStrip);
    ASSERT_TRUE(g_state.dragging);
    ASSERT_EQ(GetCapture(), window);
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetCapture(other);
    EXPECT_FALSE(g_state.dragging);
    ReleaseCapture();
    DestroyWindow(other);
    RECT before{};
    GetWindowRect(window, &before);
    ASSERT_TRUE(SetCursorPos(before.left + 400, before.top + 300));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(400, 300));
    RECT after{};
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
}

struct ChangeCase {
    Screen screen;
    bool picked = false;  // what the fake picker returns
    int pickCalls = 0;
    // After the press:
    bool failed = false;
    const wchar_t* label;
    const wchar_t* folder;
};

// A reader's view of live regions, which it speaks whatever has the focus: each one's name,
// read when the event is handled.
IAccessible* g_listened = nullptr;
std::vector<std::wstring> g_liveRegions;
void CALLBACK HearLiveRegion(HWINEVENTHOOK, DWORD, HWND, LONG, LONG child, DWORD, DWORD) {
    BSTR name = nullptr;
    g_listened->get_accName(ChildId(child), &name);
    g_liveRegions.emplace_back(name ? name : L"");
    SysFreeString(name);
}

TEST_F(WindowProcTest, ChangePicksAFolderOnTheIdleAndFailureScreens) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const wchar_t* const chosen = L"D:\\Apps\\Kestravon";
    const wchar_t* const old = L"C:\\Old";
    const ChangeCase cases[] = {
        {.screen = Screen::Idle, .picked = true, .pickCalls = 1, .label = L"Install Kestravon", .folder = chosen},
        {.screen = Screen::Idle, .pickCalls = 1, .label = L"Install Kestravon", .folder = old},
        {.screen = Screen::Failure, .picked = true, .pickCalls = 1, .label = L"Install Kestravon", .folder = chosen},
        {.screen = Screen::Failure, .pickCalls = 1, .failed = true, .label = L"Try Again", .folder = old},
        {.screen = Screen::Installing, .picked = true, .label = L"Installing...", .folder = old},
        {.screen = Screen::Success, .picked = true, .label = L"Done", .folder = old},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(std::string(ScreenName(c.screen)) + (c.picked ? " picked" : " cancelled"));
        Restart(c.screen);
        g_state.installFolder = old;
        g_fakes.pickResult = c.picked;
        g_fakes.pickedFolder = chosen;
        const ComPtr<IAccessible> client = ClientAccessibleOf(window);
        g_listened = client.get();
        g_liveRegions.clear();
        HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr,
                                             HearLiveRegion, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
        Press(CentreOf(ChangeButtonRect));
        PumpMessages();
        UnhookWinEvent(hook);
        const bool picks = c.picked && c.pickCalls;
        EXPECT_EQ(g_liveRegions, picks ? std::vector<std::wstring>{L"Install location, D:\\Apps\\Kestravon"}
                                       : std::vector<std::wstring>{});
        EXPECT_EQ(g_fakes.pickCalls, c.pickCalls);
        if (c.pickCalls) EXPECT_EQ(g_fakes.pickOwner, window);
        EXPECT_EQ(g_state.failed, c.failed);
        EXPECT_EQ(g_state.buttonLabel, c.label);
        EXPECT_EQ(g_state.installFolder, c.folder);
        EXPECT_TRUE(Open());
    }
}

TEST_F(WindowProcTest, TheOpenOptionTogglesOnlyOnTheSuccessScreen) {
    for (Screen screen : AllScreens) {
        SCOPED_TRACE(ScreenName(screen));
        Restart(screen);
        const bool toggles = screen == Screen::Success;
        Press(CentreOf(OpenOptionBoxRect));
        EXPECT_EQ(g_state.openAfterInstall, !toggles);
        Press(POINT{200, OpenOptionRect.bottom - 2});  // the label end of the hit area; a double click is two presses
        EXPECT_TRUE(g_state.openAfterInstall);
        EXPECT_FALSE(g_state.dragging);
    }
}

TEST_F(WindowProcTest, DoneOpensTheApplicationOnlyWhenTheOptionIsOn) {
    for (bool option : {true, false}) {
        SCOPED_TRACE(option ? "option on" : "option off");
        Restart(Screen::Success);
        g_state.openAfterInstall = option;
        Press(CentreOf(MainButtonRect));
        EXPECT_EQ(g_fakes.launchCalls, option ? 1 : 0);
        EXPECT_FALSE(Open());
    }
}

// "Done" again while the application opens, "Install Kestravon" while the picker opens.
TEST_F(WindowProcTest, APressWhileAnotherIsCarriedOutIsDropped) {
    for (const auto& [screen, first] : {std::pair{Screen::Success, MainButtonRect}, {Screen::Idle, ChangeButtonRect}}) {
        SCOPED_TRACE(ScreenName(screen));
        Restart(screen);
        g_state.installFolder = L"C:\\Kestravon";
        g_fakes.pumpMeanwhile = true;
        const POINT again = CentreOf(MainButtonRect);  // queued behind the first press
        ASSERT_TRUE(PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(again.x, again.y)));
        Press(CentreOf(first));
        EXPECT_EQ(g_fakes.launchCalls, screen == Screen::Success ? 1 : 0);
        EXPECT_FALSE(g_state.installing) << "no run started under the picker";
    }
}

TEST_F(WindowProcTest, TheMainButtonDoesNothingWhileInstalling) {
    EnterScreen(Screen::Installing);
    g_state.installFolder = L"C:\\Kestravon";
    Press(CentreOf(MainButtonRect));
    ExpectFields({.installing = true, .buttonLabel = L"Installing...", .statusTitle = L"Ready", .statusDetail = L""},
                 "after the press");
    EXPECT_TRUE(Open());
}

// Pumps until the fake worker's status has arrived, at most five seconds.
bool WaitForFakeWorker() {
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (GetTickCount64() < deadline) {
        PumpMessages();
        if (g_state.statusTitle == FakeWorkerTitle) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return false;
}

TEST_F(WindowProcTest, TheMainButtonStartsTheWorkerWithACopyOfTheFolder) {
    for (Screen screen : {Screen::Idle, Screen::Failure}) {
        SCOPED_TRACE(ScreenName(screen));
        Restart(screen);
        g_state.installFolder = L"C:\\Program Files\\Kestravon";
        g_state.progress.exchange(55);
        Press(CentreOf(MainButtonRect));
        EXPECT_TRUE(g_state.installing);
        EXPECT_FALSE(g_state.failed);
        EXPECT_EQ(g_state.progress, 0);
        EXPECT_EQ(g_state.buttonLabel, L"Installing...");
        ASSERT_TRUE(WaitForFakeWorker());
        EXPECT_EQ(g_state.statusDetail, L"C:\\Program Files\\Kestravon");
    }
}

struct RejectCase {
    Screen screen;
    const wchar_t* folder;
};

int g_starterCalls = 0;
std::wstring g_starterFolder;
RunReport g_starterReport;

bool AcceptingStarter(std::unique_ptr<InstallRun>& run) {
    ++g_starterCalls;
    g_starterFolder = run->installFolder;
    g_starterReport = run->report;
    run.reset();  // as a started thread would, in the end
    return true;
}

bool FailingStarter(std::unique_ptr<InstallRun>& run) {
    ++g_starterCalls;
    g_starterFolder = run ? run->installFolder : L"<none>";
    return false;  // the run stays with BeginInstall, which frees it
}

TEST_F(WindowProcTest, BeginInstallRejectsAnEmptyOrRelativeFolder) {
    const RejectCase cases[] = {
        {Screen::Idle, L""}, {Screen::Idle, L"Kestravon"}, {Screen::Idle, L"relative\\Kestravon"},
        {Screen::Failure, L""}, {Screen::Failure, L"relative\\Kestravon"},
    };
    for (const RejectCase& c : cases) {
        SCOPED_TRACE(std::string(ScreenName(c.screen)) + " folder of " + std::to_string(wcslen(c.folder)) + " chars");
        Restart(c.screen);
        g_state.installFolder = c.folder;
        g_state.progress.exchange(37);
        const std::wstring titleBefore = g_state.statusTitle;
        g_starterCalls = 0;
        BeginInstall(AcceptingStarter);
        EXPECT_EQ(g_starterCalls, 0);
        ExpectFields({.failed = true, .progress = 37, .buttonLabel = L"Try Again", .statusTitle = titleBefore,
                      .statusDetail = L"Choose a valid installation folder."},
                     "rejected");
    }
}

TEST_F(WindowProcTest, BeginInstallAcceptsAnAbsoluteFolder) {
    EnterScreen(Screen::Failure);
    g_state.installFolder = L"C:\\Users\\Ana\\AppData\\Roaming\\Kestravon";
    g_state.progress.exchange(37);
    g_starterCalls = 0;
    BeginInstall(AcceptingStarter);
    EXPECT_EQ(g_starterCalls, 1);
    EXPECT_EQ(g_starterFolder, g_state.installFolder);
    EXPECT_EQ(g_starterReport.window, window);
    EXPECT_NE(g_starterReport.token, 0u);
    EXPECT_EQ(g_starterReport.token, g_state.runToken) << "the run's messages are awaited";
    // The texts keep the last failure until the worker's first status replaces them.
    ExpectFields({.installing = true, .buttonLabel = L"Installing...", .statusTitle = L"Installation failed",
                  .statusDetail = L"The download was interrupted."},
                 "accepted");

    BeginInstall(AcceptingStarter);  // a second press while installing
    EXPECT_EQ(g_starterCalls, 1);
}

TEST_F(WindowProcTest, AWorkerThatCannotStartEndsOnTheFailureScreen) {
    g_state.installFolder = L"C:\\Kestravon";
    g_starterCalls = 0;
    BeginInstall(FailingStarter);
    EXPECT_EQ(g_starterCalls, 1);
    EXPECT_EQ(g_starterFolder, L"C:\\Kestravon");
    ExpectFields({.failed = true, .buttonLabel = L"Try Again", .statusTitle = L"Installation failed",
                  .statusDetail = L"An unexpected error occurred."},
                 "thread start failed");
    EXPECT_EQ(CurrentScreen(g_state), Screen::Failure);
    EXPECT_EQ(g_state.runToken, 0u) << "no run is awaited";

    SendMessageW(window, WM_CLOSE, 0, 0);  // not stuck: the window can be closed
    EXPECT_FALSE(Open());
}

TEST_F(WindowProcTest, StartWorkerThreadHandsTheRunToARunningThread) {
    EnterScreen(Screen::Installing);
    auto run = std::make_unique<InstallRun>(InstallRun{L"E:\\Kestravon", RunReport{window, RunToken}});
    ASSERT_TRUE(StartWorkerThread(run));
    EXPECT_EQ(run, nullptr);
    ASSERT_TRUE(WaitForFakeWorker());
    EXPECT_EQ(g_state.statusDetail, L"E:\\Kestravon");
}

// Wine's taskbar list only stubs the calls, so what the button is told is checked here.
TEST_F(WindowProcTest, TheTaskbarButtonShowsTheShownPercentageAndTheFailure) {
    const std::tuple<Screen, int, TBPFLAG, int> cases[] = {
        {Screen::Idle, 0, TBPF_NOPROGRESS, 0},       {Screen::Installing, 37, TBPF_NORMAL, 37},
        {Screen::Installing, 150, TBPF_NORMAL, 100}, {Screen::Installing, -5, TBPF_NORMAL, 0},
        {Screen::Success, 100, TBPF_NOPROGRESS, 0},  {Screen::Failure, 0, TBPF_ERROR, 100},
    };
    for (const auto& [screen, progress, flags, percent] : cases) {
        Restart(screen);
        g_state.progress.exchange(progress);
        const TaskbarProgress shown = TaskbarProgressFor(g_state);
        EXPECT_EQ(shown.flags, flags) << ScreenName(screen) << " at " << progress;
        EXPECT_EQ(shown.percent, percent) << ScreenName(screen) << " at " << progress;
    }
}

struct CursorCase {
    Screen screen;
    POINT at;
    bool hand;
};

TEST_F(WindowProcTest, TheHandCursorMarksOnlyActiveControls) {
    constexpr POINT Close = CentreOf(CloseButtonRect), Change = CentreOf(ChangeButtonRect);
    constexpr POINT Main = CentreOf(MainButtonRect), Box = CentreOf(OpenOptionBoxRect);
    constexpr POINT InTheLocationBox = CentreOf(FolderTextRect);
    constexpr POINT OptionCorner{OpenOptionRect.right - 5, OpenOptionRect.top + 2};
    const CursorCase cases[] = {
        {Screen::Idle, Close, true}, {Screen::Idle, Change, true}, {Screen::Idle, InTheLocationBox, false},
        {Screen::Idle, Main, true}, {Screen::Idle, InTheStrip, false}, {Screen::Idle, Box, false},
        {Screen::Installing, Close, false}, {Screen::Installing, Change, false}, {Screen::Installing, Main, false},
        {Screen::Success, Close, true}, {Screen::Success, Change, false}, {Screen::Success, Box, true},
        {Screen::Success, OptionCorner, true}, {Screen::Success, Main, true},
        {Screen::Failure, Close, true}, {Screen::Failure, Change, true}, {Screen::Failure, Main, true},
    };
    for (const CursorCase& c : cases) {
        SCOPED_TRACE(testing::Message() << ScreenName(c.screen) << " at " << c.at.x << "," << c.at.y);
        Restart(c.screen);
        RECT frame{};
        GetWindowRect(window, &frame);
        ASSERT_TRUE(SetCursorPos(frame.left + c.at.x, frame.top + c.at.y));
        SetCursor(nullptr);
        EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
                  1);
        EXPECT_EQ(GetCursor(), c.hand ? g_state.handCursor : g_state.arrowCursor);
    }
}

TEST_F(WindowProcTest, OutsideTheClientAreaTheCursorIsLeftAlone) {
    SetCursor(nullptr);
    EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)),
              0);
    EXPECT_EQ(GetCursor(), nullptr);
}

TEST_F(WindowProcTest, TheBackgroundIsNeverErasedSeparately) {
    HDC dc = GetDC(window);
    EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
    ReleaseDC(window, dc);
}

TEST_F(WindowProcTest, TheWindowIsABorderlessPopupWithRoundedRegion) {
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & (WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION),
              WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, WindowWidth);
    EXPECT_EQ(client.bottom, WindowHeight);

    UniqueGdiObject region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(window, static_cast<HRGN>(region.get())), ERROR);
    HRGN shape = static_cast<HRGN>(region.get());
    EXPECT_FALSE(PtInRegion(shape, 0, 0));  // rounded away
    EXPECT_FALSE(PtInRegion(shape, 559, 379));
    EXPECT_TRUE(PtInRegion(shape, 12, 12));
    EXPECT_TRUE(PtInRegion(shape, 280, 0));
    EXPECT_TRUE(PtInRegion(shape, 559, 190));
    EXPECT_TRUE(PtInRegion(shape, 280, 379));
    EXPECT_FALSE(PtInRegion(shape, 560, 190));
    EXPECT_FALSE(PtInRegion(shape, 280, 380));
}

TEST_F(WindowProcTest, TheWindowIsCentredInTheWorkArea) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, area.left + (area.right - area.left - 560) / 2);
    EXPECT_EQ(frame.top, area.top + (area.bottom - area.top - 380) / 2);
    EXPECT_EQ(frame.right - frame.left, 560);
    EXPECT_EQ(frame.bottom - frame.top, 380);
}

struct CentreCase {
    RECT area;
    POINT expected;
};

TEST(StartupTest, CentredPositionTruncatesTowardZero) {
    const CentreCase cases[] = {
        {{0, 0, 1280, 800}, {360, 210}},
        {{0, 0, 1279, 799}, {359, 209}},
        {{100, 40, 1380, 840}, {460, 250}},
        {{0, 0, 500, 300}, {-30, -40}},
        {{0, 0, 501, 301}, {-29, -39}},  // -59 / 2 and -79 / 2 round toward zero
        {{-1920, 0, 0, 1040}, {-1240, 330}},
    };
    for (const CentreCase& c : cases) {
        const POINT p = CenteredWindowPosition(c.area);
        EXPECT_EQ(p.x, c.expected.x) << c.area.left << "," << c.area.right;
        EXPECT_EQ(p.y, c.expected.y) << c.area.top << "," << c.area.bottom;
    }
}

struct FontCase {
    int height;
    int weight;
};

TEST(StartupTest, UiFontsAskForSegoeUiAtACharacterHeight) {
    const FontCase cases[] = {{14, 400}, {13, 500}, {15, 600}, {15, 700}, {25, 600}};
    for (const FontCase& c : cases) {
        UniqueHfont font(CreateUiFont(c.height, c.weight));
        ASSERT_TRUE(font);
        LOGFONTW log{};
        ASSERT_EQ(GetObjectW(font.get(), sizeof(log), &log), static_cast<int>(sizeof(log)));
        EXPECT_EQ(log.lfHeight, -c.height);
        EXPECT_EQ(log.lfWeight, c.weight);
        EXPECT_EQ(log.lfWidth, 0);
        EXPECT_EQ(log.lfItalic, 0);
        EXPECT_EQ(log.lfUnderline, 0);
        EXPECT_EQ(log.lfStrikeOut, 0);
        EXPECT_EQ(log.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(log.lfQuality, CLEARTYPE_QUALITY);
        EXPECT_EQ(log.lfPitchAndFamily, DEFAULT_PITCH | FF_DONTCARE);
        EXPECT_STREQ(log.lfFaceName, L"Segoe UI");
    }
}

}  // namespace

namespace {

TEST(StartupTest, TheClassHasNoBackgroundBrushAndNoDoubleClicks) {
    ResetInstallerState(g_state);
    HWND window = CreateTestInstallerWindow();  // registers the class if no test did yet
    ASSERT_NE(window, nullptr);
    DestroyTestInstallerWindow(window);
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), InstallerWindowClass, &info));
    EXPECT_EQ(info.style, 0u);
    EXPECT_EQ(info.lpfnWndProc, &InstallerWindowProc);
    EXPECT_EQ(info.hbrBackground, nullptr);
    EXPECT_EQ(info.hCursor, g_state.arrowCursor);
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 0);
}

TEST(StartupTest, RunInstallerReturnsOneWhenTheClassCannotBeRegistered) {
    ResetInstallerState(g_state);
    HWND window = CreateTestInstallerWindow();
    ASSERT_NE(window, nullptr);
    DestroyTestInstallerWindow(window);
    // The class already exists for this module, so start-up's registration fails.
    EXPECT_EQ(RunInstaller(GetModuleHandleW(nullptr)), 1);
    EXPECT_EQ(g_state.mainWindow, nullptr);
    for (HFONT font : {g_state.fontBody, g_state.fontSmall, g_state.fontEmphasis, g_state.fontBold,
                       g_state.fontHeadline}) {
        EXPECT_EQ(font, nullptr);  // deleted on this path too
    }
}

}  // namespace
