// Whole installations through the real installer window against the test release service.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include <windows.h>
#include <oleacc.h>

#include "common/win_owners.h"
#include "setup/path_rules.h"
#include "tests/app/bitmap_file.h"
#include "tests/app/end_to_end_fixture.h"
#include "tests/app/live_installer.h"
#include "tests/app/release_support.h"
#include "tests/app/screen_text.h"
#include "tests/app/test_window.h"
#include "tests/net/service_client.h"

namespace {

TEST_F(EndToEndTest, DoneOpensTheInstalledApplicationOnlyWithTheOptionOn) {
    ASSERT_TRUE(PublishRelease(setup, Sha256Hex(setup)));
    for (const bool optionOn : {true, false}) {
        SCOPED_TRACE(optionOn ? "option on" : "option off");
        ClearInstallFolder();
        ChildProcess child;
        HWND window = StartAndPressInstall(child);
        ASSERT_NE(window, nullptr);

        ASSERT_TRUE(WaitForText(window, MainButton(L"Done"), 120000)) << "no success screen within two minutes";
        EXPECT_TRUE(ShowsText(window, HeadlineText(L"Kestravon is ready")));
        EXPECT_TRUE(ShowsText(window, SubLineText(L"Installation completed successfully.")));
        EXPECT_TRUE(FileExists(JoinPath(folder, L"kestravon.exe")));
        if (!optionOn) ClickAt(window, OpenOptionLabelRect);

        RECT frame{};
        GetWindowRect(window, &frame);
        Sleep(300);
        const std::vector<std::uint32_t> pixels = CaptureScreen(frame);
        ASSERT_EQ(pixels.size(), 560u * 380u);
        SaveBitmap(BuildTreeFile(optionOn ? L"live_success_on.bmp" : L"live_success_off.bmp"), pixels, 560, 380);
        EXPECT_EQ(PixelAt(pixels, 52, 233), optionOn ? AccentColour : ControlColour);  // the box, away from the tick
        EXPECT_EQ(PixelAt(pixels, 44, 227), optionOn ? WhiteColour : ControlColour);    // where the tick starts
        EXPECT_EQ(PixelAt(pixels, 47, 241), BackgroundColour);                    // no location box
        EXPECT_EQ(PixelAt(pixels, 60, 305), AccentColour);

        ClickAt(window, MainButtonRect);  // "Done"
        ASSERT_NO_FATAL_FAILURE(ExpectExitsWithZero(child));
        const std::wstring report = JoinPath(folder, L"launched.txt");
        if (optionOn) {
            ASSERT_TRUE(WaitForFile(report, 10000)) << "the installed application was not opened";
            EXPECT_EQ(ReportField(ReadUtf16File(report), L"cwd"), folder)
                << "working directory of the opened application";
        } else {
            EXPECT_FALSE(WaitForFile(report, 3000)) << "opened although the option was off";
        }
    }
}

// The installer pinned to the test release key and publisher fetches the manifest's
// signature and installs the signed release.
TEST_F(EndToEndTest, APinnedInstallerInstallsTheSignedRelease) {
    ASSERT_TRUE(PublishSignedRelease());
    ClearRecordedRequests();
    ChildProcess child;
    HWND window = StartAndPressInstall(child, true);
    ASSERT_NE(window, nullptr);

    ASSERT_TRUE(WaitForText(window, MainButton(L"Done"), 120000)) << "no success screen within two minutes";
    EXPECT_TRUE(FileExists(JoinPath(folder, L"kestravon.exe")));
    std::vector<std::string> paths;
    for (const ServiceRequest& request : RecordedRequests()) paths.push_back(request.path);
    const std::vector<std::string> expected = {"/api/v1/launcher/installer/windows-x86_64",
                                               "/api/v1/launcher/installer/windows-x86_64.sig",
                                               "/files/KestravonSetup.exe"};
    EXPECT_EQ(paths, expected);
    ClickAt(window, MainButtonRect);  // "Done"
    ExpectExitsWithZero(child);
}

TEST_F(EndToEndTest, ADigestMismatchEndsOnTheFailureScreen) {
    ASSERT_TRUE(PublishRelease(setup, std::string(64, '0')));
    ChildProcess child;
    HWND window = StartAndPressInstall(child);
    ASSERT_NE(window, nullptr);

    ASSERT_TRUE(WaitForText(window, MainButton(L"Try Again"), 60000)) << "no failure screen within a minute";
    EXPECT_TRUE(ShowsText(window, HeadlineText(L"Setup could not finish")));
    EXPECT_TRUE(ShowsText(window, SubLineText(L"Security check failed: installer SHA-256 did not match.")));
    EXPECT_FALSE(FileExists(JoinPath(folder, L"kestravon.exe")));

    ExpectClosesWithZero(child, window);
}

// A screen reader's view: the tree another process gets with AccessibleObjectFromWindow.
struct Row {
    const wchar_t* name;  // L"" for none, as for value
    LONG role;
    LONG state;
    const wchar_t* value;
    RECT rect;  // client coordinates, from the painted layout
};
constexpr LONG Label = ROLE_SYSTEM_STATICTEXT, Button = ROLE_SYSTEM_PUSHBUTTON;
constexpr LONG Fixed = STATE_SYSTEM_READONLY, Off = STATE_SYSTEM_UNAVAILABLE;

using TextGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
std::wstring Read(IAccessible* client, LONG id, TextGetter get = &IAccessible::get_accName) {
    BSTR text = nullptr;
    (client->*get)(ChildId(id), &text);
    std::wstring result = text ? text : L"";
    SysFreeString(text);
    return result;
}

// Pumps this thread's messages, where the event hook's calls arrive, until `done`.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (done()) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    return false;
}

// The screen's children as AccessibleChildren lists them, in reading order.
void ExpectScreen(IAccessible* client, HWND window, const std::vector<Row>& rows) {
    LONG count = 0;
    ASSERT_EQ(client->get_accChildCount(&count), S_OK);
    ASSERT_EQ(count, static_cast<LONG>(rows.size()));
    std::vector<VARIANT> children(rows.size());
    ASSERT_EQ(AccessibleChildren(client, 0, count, children.data(), &count), S_OK);
    ASSERT_EQ(count, static_cast<LONG>(rows.size()));
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    VARIANT first{}, last{};
    client->accNavigate(NAVDIR_FIRSTCHILD, ChildId(CHILDID_SELF), &first);
    client->accNavigate(NAVDIR_LASTCHILD, ChildId(CHILDID_SELF), &last);
    EXPECT_EQ((std::array<LONG, 3>{first.lVal, last.lVal, client->accNavigate(NAVDIR_DOWN, first, &last)}),
              (std::array<LONG, 3>{children[0].lVal, children.back().lVal, DISP_E_MEMBERNOTFOUND}))
        << "first and last child, no spatial navigation";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const LONG id = children[i].vt == VT_I4 ? children[i].lVal : 0;
        SCOPED_TRACE(id);
        EXPECT_EQ(Read(client, id), row.name);
        EXPECT_EQ(Read(client, id, &IAccessible::get_accValue), row.value);
        VARIANT role{}, state{}, hit{}, next{}, previous{};
        LONG x = 0, y = 0, width = 0, height = 0;
        client->get_accRole(ChildId(id), &role);
        client->get_accState(ChildId(id), &state);
        client->accLocation(&x, &y, &width, &height, ChildId(id));
        client->accHitTest(x + width / 2, y + height / 2, &hit);
        client->accNavigate(NAVDIR_NEXT, ChildId(id), &next);
        client->accNavigate(NAVDIR_PREVIOUS, ChildId(id), &previous);
        EXPECT_EQ((std::array<LONG, 5>{role.lVal, state.lVal, hit.lVal, next.lVal, previous.lVal}),
                  (std::array<LONG, 5>{row.role, row.state, id, i + 1 < rows.size() ? children[i + 1].lVal : 0,
                                       i > 0 ? children[i - 1].lVal : 0}))
            << "role, state, hit test at the centre, next and previous in reading order";
        EXPECT_EQ((std::array<LONG, 4>{x - origin.x, y - origin.y, x - origin.x + width, y - origin.y + height}),
                  (std::array<LONG, 4>{row.rect.left, row.rect.top, row.rect.right, row.rect.bottom}));
    }
}

// A reader that speaks as NVDA does: the focused element, a name change only of the
// focused element, an alert only of the alert role, a live region's name whatever has the
// focus. The bar's value changes it beeps (its default), so they are only counted.
IAccessible* g_reader = nullptr;
LONG g_focus = -1;                  // the focused child of the client area; -1: something else
std::vector<std::wstring> g_heard;  // what it speaks, in order
LONG g_lastSpoken = 0;              // the child id it spoke last
int g_beeps = 0;                    // the bar's value changes

void CALLBACK Hear(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
    if (object != OBJID_CLIENT) return;
    if (event == EVENT_OBJECT_FOCUS) g_focus = child;
    VARIANT role{};
    const bool alert = event == EVENT_SYSTEM_ALERT && g_reader->get_accRole(ChildId(child), &role) == S_OK &&
                       role.lVal == ROLE_SYSTEM_ALERT;
    if (alert || event == EVENT_OBJECT_FOCUS || event == EVENT_OBJECT_LIVEREGIONCHANGED ||
        (event == EVENT_OBJECT_NAMECHANGE && child == g_focus)) {
        // In arrival order: Wine delivers the next event inside this one's cross-process call.
        const std::size_t slot = g_heard.size();
        g_heard.emplace_back();
        g_heard[slot] = Read(g_reader, child);
        g_lastSpoken = child;
    }
    if (event == EVENT_OBJECT_VALUECHANGE) ++g_beeps;
}

// Start, failure, retry and finish by default actions alone, the tree read on each screen
// and what the reader speaks heard over both runs.
// The first run's download hangs on port 9444, so its installing screen holds at 2 %.
TEST_F(EndToEndTest, AScreenReaderInstallsThroughTheAccessibilityTreeAlone) {
    ASSERT_TRUE(PublishRelease(setup, Sha256Hex(setup), "https://kestravon.test:9444/files/KestravonSetup.exe"));
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ChildProcess child;
    HWND window = StartIdle(child);
    ASSERT_NE(window, nullptr);
    // Wine's shell announces no taskbar button; its stub taskbar list is taken all the same.
    PostMessageW(window, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
    ComPtr<IAccessible> client = ClientAccessibleOf(window);
    ASSERT_TRUE(client);
    g_reader = client.get();
    const auto locationScreen = [&](const wchar_t* headline, const wchar_t* subLine, const wchar_t* button) {
        return std::vector<Row>{{L"Close", Button, 0, L"", CloseButtonRect},
                                {headline, Label, Fixed, L"", HeadlineRect}, {subLine, Label, Fixed, L"", SubLineRect},
                                {L"Install location", ROLE_SYSTEM_TEXT, Fixed, folder.c_str(), FolderTextRect},
                                {L"Change", Button, 0, L"", ChangeButtonRect},
                                {button, Button, 0, L"", MainButtonRect}};
    };
    ExpectScreen(client.get(), window,
                 locationScreen(L"Install Kestravon", L"Fast. Clean. Ready to launch.", L"Install Kestravon"));

    VARIANT focus{};
    ASSERT_EQ(client->get_accFocus(&focus), S_OK) << "the active window's client area has the focus";
    g_focus = focus.lVal;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, Hear,
                                         child.info.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    EXPECT_EQ(client->accDoDefaultAction(ChildId(MainButtonId)), S_OK);
    // Runs move on while the tree is read, not the screen: a screen capture would hold up
    // the events, and the listener would then read a phase's lines after the next phase.
    ASSERT_TRUE(PumpUntil([&] { return Read(client.get(), SubLineId) == L"Downloading Kestravon"; }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return ShowsText(window, PercentText(L"2%")); }, 5000));
    ExpectScreen(client.get(), window,
                 {{L"Close", Button, Off, L"", CloseButtonRect},
                  {L"Setting up Kestravon", Label, Fixed, L"", HeadlineRect},
                  {L"Downloading Kestravon", Label, Fixed, L"", SubLineRect},
                  {L"Downloading installation files...", Label, Fixed, L"", DetailRect},
                  {L"", ROLE_SYSTEM_PROGRESSBAR, Fixed, L"2%", ProgressTrackRect},
                  {L"Installing...", Button, Off, L"", MainButtonRect}});
    EXPECT_EQ(client->accDoDefaultAction(ChildId(CloseId)), E_FAIL);  // unavailable while installing
    POINT onTheBar = CentreOf(ProgressTrackRect);  // where a reader rests during the run
    ClientToScreen(window, &onTheBar);
    VARIANT bar{};
    client->accHitTest(onTheBar.x, onTheBar.y, &bar);

    ASSERT_TRUE(PumpUntil([&] { return ShowsText(window, MainButton(L"Try Again")); }, 60000))
        << "the hanging download never failed";
    PumpUntil([] { return false; }, 500);  // the last events
    const std::wstring sentence = L"Kestravon server did not respond.";
    ExpectScreen(client.get(), window, locationScreen(L"Setup could not finish", sentence.c_str(), L"Try Again"));
    const std::vector<std::wstring> firstPhases = {L"Preparing setup", L"Checking installation files...",
                                                   L"Downloading Kestravon", L"Downloading installation files..."};
    std::vector<std::wstring> heard = firstPhases;
    heard.push_back(sentence);
    EXPECT_EQ(g_heard, heard);
    EXPECT_EQ(g_beeps, 1) << "2 %, the one percentage shown";
    g_heard.clear();

    ASSERT_TRUE(PublishRelease(setup, Sha256Hex(setup)));  // the release is fixed
    const LONG sentenceId = g_lastSpoken;
    EXPECT_EQ(client->accDoDefaultAction(ChildId(MainButtonId)), S_OK);  // "Try Again"
    ASSERT_TRUE(PumpUntil([&] { return Read(client.get(), HeadlineId) != L"Setup could not finish"; }, 5000));
    EXPECT_EQ(Read(client.get(), sentenceId), sentence) << "handled late, on the next run's screen";
    ASSERT_TRUE(PumpUntil([&] { return Read(client.get(), HeadlineId) == L"Kestravon is ready"; }, 120000))
        << "the second run did not succeed";
    EXPECT_TRUE(WaitForText(window, MainButton(L"Done"), 5000));
    PumpUntil([] { return false; }, 500);
    heard = firstPhases;
    heard.insert(heard.end(), {L"Installing Kestravon", L"Installing to your selected folder...", L"Finishing setup",
                               L"Almost done...", L"Kestravon is ready"});
    EXPECT_EQ(g_heard, heard);
    ExpectScreen(client.get(), window,
                 {{L"Close", Button, 0, L"", CloseButtonRect},
                  {L"Kestravon is ready", Label, Fixed, L"", HeadlineRect},
                  {L"Installation completed successfully.", Label, Fixed, L"", SubLineRect},
                  {L"Open Kestravon", ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_CHECKED, L"", OpenOptionRect},
                  {L"Done", Button, 0, L"", MainButtonRect}});
    // The bar's id names nothing here: pressed, it neither opens the application nor closes.
    EXPECT_EQ(client->accDoDefaultAction(bar), E_INVALIDARG);
    PumpUntil([] { return false; }, 1000);
    ASSERT_TRUE(IsWindow(window));

    EXPECT_EQ(client->accDoDefaultAction(ChildId(OptionId)), S_OK);
    VARIANT state{};
    EXPECT_TRUE(
        PumpUntil([&] { return client->get_accState(ChildId(OptionId), &state) == S_OK && state.lVal == 0; }, 5000));
    EXPECT_TRUE(PumpUntil([] { return g_heard.back() == L"Open Kestravon, not checked"; }, 5000)) << g_heard.back();
    UnhookWinEvent(hook);

    EXPECT_EQ(client->accDoDefaultAction(ChildId(DoneId)), S_OK);  // the option off
    static_cast<void>(client.release());  // its process ends: nothing left to release it in
    ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(WaitForFile(JoinPath(folder, L"launched.txt"), 3000)) << "opened although the option was off";
}

}  // namespace
