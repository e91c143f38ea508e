// Drives the real common item dialog under Wine + Xvfb: pick, cancel, initial folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "setup/folder_picker.h"
#include "setup/path_rules.h"
#include "tests/support/files.h"
#include "tests/support/find_window.h"
#include "tests/support/test_thread.h"

namespace {

// Dismisses top-level windows owned by `dialog` (its error message boxes).
void CloseOwnedPopups(HWND dialog) {
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(param) && IsWindowVisible(window)) {
                PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(dialog));
}

void DumpChildren(HWND dialog) {
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM) -> BOOL {
            wchar_t className[64] = {};
            wchar_t text[128] = {};
            GetClassNameW(child, className, 64);
            GetWindowTextW(child, text, 128);
            std::fwprintf(stderr, L"  child id=0x%x class=%ls text=%ls visible=%d parentId=0x%x\n",
                          GetDlgCtrlID(child), className, text, IsWindowVisible(child) ? 1 : 0,
                          GetDlgCtrlID(GetParent(child)));
            return TRUE;
        },
        0);
}

HWND FocusedControl(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus) return info.hwndFocus;
    return dialog;
}

// What the driver saw of the dialog while it was open.
struct Observed {
    bool found = false;
    bool ownerDisabled = false;  // modal to the owner
    bool ownedByOwner = false;
    bool nameBoxFound = false;
    bool closedByInput = false;  // closed by the typed name or key, not the fallback
    std::wstring okLabel;        // caption of the dialog's OK button
};

enum class Action { TypeAndReturn, Escape };

// Waits for the dialog (up to 30 s), then types `path` into its name box and presses
// Return there, or presses Escape, retrying while the dialog stays open; cancels it as a last
// resort so a failing test never hangs. Runs on its own thread while Show blocks.
void Drive(HWND owner, Action action, const std::wstring& path, Observed* observed) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    HWND dialog = nullptr;
    while (!dialog && std::chrono::steady_clock::now() < deadline) {
        dialog = FindPickerDialog(GetCurrentProcessId());
        if (!dialog) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!dialog) return;
    observed->found = true;
    // Let the dialog finish filling its view before input arrives.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    observed->ownerDisabled = !IsWindowEnabled(owner);
    observed->ownedByOwner = GetWindow(dialog, GW_OWNER) == owner;
    wchar_t label[64] = {};
    InternalGetWindowText(GetDlgItem(dialog, IDOK), label, 64);
    observed->okLabel = label;

    for (int attempt = 0; attempt < 10 && IsWindow(dialog); ++attempt) {
        SetForegroundWindow(dialog);
        if (action == Action::Escape) {
            PressKey(FocusedControl(dialog), VK_ESCAPE);
        } else {
            HWND nameBox = FindNameBox(dialog);
            if (!nameBox) {
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
                continue;
            }
            observed->nameBoxFound = true;
            SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
            PressKey(nameBox, VK_RETURN);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
    observed->closedByInput = !IsWindow(dialog);
    if (!observed->closedByInput) DumpChildren(dialog);
    // Never leave the test hanging on a dialog that ignored the input, nor on a
    // message box it opened over itself.
    while (IsWindow(dialog)) {
        CloseOwnedPopups(dialog);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

class FolderPickerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = OwnerProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KestravonPickerTestOwner";
        RegisterClassW(&windowClass);
        owner_ = CreateWindowExW(0, L"KestravonPickerTestOwner", L"Picker test owner", WS_OVERLAPPEDWINDOW,
                                 100, 100, 560, 380, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
        ShowWindow(owner_, SW_SHOW);
        scratch_ = std::make_unique<ScratchFolder>(L"kestravon-picker");
        root_ = scratch_->path;
        CreateFolder(root_ + L"\\chosen");
        CreateFolder(root_ + L"\\with space");
    }
    static void TearDownTestSuite() {
        scratch_.reset();
        DestroyWindow(owner_);
        CoUninitialize();
    }

    // Runs the picker on this (STA) thread while a helper thread drives it.
    static bool Pick(Action action, const std::wstring& typed, Observed* observed) {
        TestThread driver([&] { Drive(owner_, action, typed, observed); });
        const bool picked = PickInstallFolder(owner_, installFolder_);
        driver.join();
        return picked;
    }

    static HWND owner_;
    static std::unique_ptr<ScratchFolder> scratch_;
    static std::wstring root_;  // the scratch folder
    static std::wstring installFolder_;  // the folder the picker starts in and replaces
};

HWND FolderPickerTest::owner_ = nullptr;
std::unique_ptr<ScratchFolder> FolderPickerTest::scratch_;
std::wstring FolderPickerTest::root_;
std::wstring FolderPickerTest::installFolder_;

TEST_F(FolderPickerTest, TypedFolderIsChosen) {
    struct Case {
        const char* name;
        std::wstring typed;
        std::wstring expected;
    };
    const Case cases[] = {
        {"plain path", root_ + L"\\chosen", root_ + L"\\chosen"},
        {"name with a space", root_ + L"\\with space", root_ + L"\\with space"},
        {"drive root", L"C:\\", L"C:\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        installFolder_ = L"C:\\before";
        Observed observed;
        EXPECT_TRUE(Pick(Action::TypeAndReturn, c.typed, &observed));
        EXPECT_TRUE(observed.found);
        EXPECT_TRUE(observed.nameBoxFound);
        EXPECT_TRUE(observed.ownerDisabled);
        EXPECT_TRUE(observed.ownedByOwner);
        EXPECT_TRUE(observed.closedByInput);
        EXPECT_EQ(installFolder_, c.expected);
    }
}

TEST_F(FolderPickerTest, EscapeCancelsAndKeepsTheFolder) {
    installFolder_ = root_ + L"\\chosen";
    Observed observed;
    EXPECT_FALSE(Pick(Action::Escape, L"", &observed));
    EXPECT_TRUE(observed.found);
    EXPECT_TRUE(observed.closedByInput);
    EXPECT_EQ(observed.okLabel, L"Select Folder");
    EXPECT_EQ(installFolder_, root_ + L"\\chosen");
}

// "." in the name box picks the folder the dialog is showing, so this reveals where
// it opened: the folder itself, or its parent when it is missing.
TEST_F(FolderPickerTest, OpensInTheFolderOrItsParent) {
    struct Case {
        const char* name;
        std::wstring current;
        std::wstring expected;
    };
    const Case cases[] = {
        {"existing folder", root_ + L"\\chosen", root_ + L"\\chosen"},
        {"missing folder opens in its parent", root_ + L"\\chosen\\Kestravon", root_ + L"\\chosen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        installFolder_ = c.current;
        Observed observed;
        EXPECT_TRUE(Pick(Action::TypeAndReturn, L".", &observed));
        EXPECT_TRUE(observed.closedByInput);
        EXPECT_EQ(installFolder_, NormalizePath(c.expected + L"\\."));
    }
}

}  // namespace
