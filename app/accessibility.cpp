// The window's accessibility tree: the current screen's elements as simple children of the
// client area's IAccessible, each answered from g_state at the moment it is asked.
#include "app/accessibility.h"

#include <oleacc.h>

#include "app/layout.h"
#include "app/paint.h"
#include "app/startup.h"
#include "app/state.h"

namespace {

// Child ids are reading positions on the current screen, from 1, so no id outlives its
// screen as another element's. These are the ones events name.
constexpr LONG SubLineChild = 3;     // every screen
constexpr LONG DetailChild = 4;      // installing
constexpr LONG ProgressChild = 5;    // installing
constexpr LONG OpenOptionChild = 4;  // success

constexpr RECT ClientRect{0, 0, WindowWidth, WindowHeight};

struct Element {
    const wchar_t* name;  // null: none (the progress bar); points into g_state or at a constant
    LONG role;
    LONG state;
    RECT rect;  // client coordinates: where it is painted and hit
};

enum Part : BYTE { Close, Headline, SubLine, Detail, Progress, Location, Change, OpenOption, MainButton };

// What does not depend on the state; the names left null here come from g_state.
constexpr LONG ReadOnly = STATE_SYSTEM_READONLY;
constexpr Element Parts[] = {
    {L"Close", ROLE_SYSTEM_PUSHBUTTON, 0, CloseButtonRect},
    {nullptr, ROLE_SYSTEM_STATICTEXT, ReadOnly, HeadlineRect},
    {nullptr, ROLE_SYSTEM_STATICTEXT, ReadOnly, SubLineRect},
    {nullptr, ROLE_SYSTEM_STATICTEXT, ReadOnly, DetailRect},
    {nullptr, ROLE_SYSTEM_PROGRESSBAR, ReadOnly, ProgressTrackRect},
    {L"Install location", ROLE_SYSTEM_TEXT, ReadOnly, FolderTextRect},
    {L"Change", ROLE_SYSTEM_PUSHBUTTON, 0, ChangeButtonRect},
    {L"Open Kestravon", ROLE_SYSTEM_CHECKBUTTON, 0, OpenOptionRect},
    {nullptr, ROLE_SYSTEM_PUSHBUTTON, 0, MainButtonRect},
};

// Each screen's elements in reading order, in the order of enum Screen.
struct ReadingOrder {
    LONG count;
    Part parts[6];
};
constexpr ReadingOrder Screens[] = {
    {6, {Close, Headline, SubLine, Location, Change, MainButton}},
    {6, {Close, Headline, SubLine, Detail, Progress, MainButton}},
    {5, {Close, Headline, SubLine, OpenOption, MainButton}},
    {6, {Close, Headline, SubLine, Location, Change, MainButton}},
};

static_assert(Screens[static_cast<int>(Screen::Idle)].parts[SubLineChild - 1] == SubLine);
static_assert(Screens[static_cast<int>(Screen::Installing)].parts[DetailChild - 1] == Detail);
static_assert(Screens[static_cast<int>(Screen::Installing)].parts[ProgressChild - 1] == Progress);
static_assert(Screens[static_cast<int>(Screen::Success)].parts[OpenOptionChild - 1] == OpenOption);
static_assert(Screens[static_cast<int>(Screen::Failure)].parts[SubLineChild - 1] == SubLine);

LONG ChildCount() { return Screens[static_cast<int>(CurrentScreen(g_state))].count; }

// The client area itself for CHILDID_SELF, else the element at that reading position on
// the current screen; false when `child` names nothing there.
bool Find(const VARIANT& child, Element& element) {
    const Screen screen = CurrentScreen(g_state);
    const ReadingOrder& order = Screens[static_cast<int>(screen)];
    if (child.vt != VT_I4 || child.lVal < 0 || child.lVal > order.count) return false;
    if (child.lVal == CHILDID_SELF) {
        element = {InstallerWindowTitle, ROLE_SYSTEM_CLIENT, 0, ClientRect};
        return true;
    }
    const Part part = order.parts[child.lVal - 1];
    element = Parts[part];
    switch (part) {
    case Headline: element.name = TextsFor(screen, g_state).headline; break;
    case SubLine: element.name = TextsFor(screen, g_state).subLine->c_str(); break;
    case Detail: element.name = g_state.statusDetail.c_str(); break;
    case OpenOption: element.state = g_state.openAfterInstall ? STATE_SYSTEM_CHECKED : 0; break;
    case MainButton: element.name = g_state.buttonLabel.c_str(); break;
    default: break;
    }
    // Close and the main button do nothing while installing.
    if (element.role == ROLE_SYSTEM_PUSHBUTTON && screen == Screen::Installing) {
        element.state = STATE_SYSTEM_UNAVAILABLE;
    }
    return true;
}

// What a click on the element is called; null where it has no action (text, the bar).
const wchar_t* ActionOf(const Element& element) {
    if (element.role == ROLE_SYSTEM_PUSHBUTTON) return L"Press";
    if (element.role != ROLE_SYSTEM_CHECKBUTTON) return nullptr;
    return (element.state & STATE_SYSTEM_CHECKED) ? L"Uncheck" : L"Check";
}

HRESULT ReturnText(const wchar_t* text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = text ? SysAllocString(text) : nullptr;
    if (!text) return S_FALSE;
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReturnLong(LONG value, VARIANT* out) {
    if (!out) return E_POINTER;
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
}

HRESULT ReturnNothing(VARIANT* out) {
    if (!out) return E_POINTER;
    out->vt = VT_EMPTY;
    return S_FALSE;
}

HRESULT NoText(BSTR* out) {
    if (out) *out = nullptr;
    return DISP_E_MEMBERNOTFOUND;
}

HWND Window() { return g_state.mainWindow; }

// The client area. COM's interface is the one class hierarchy the project has. One object
// serves every reader for the life of the process: it holds nothing but its count of
// references, so one a reader keeps never shows a past screen, and none is ever freed.
class ClientAccessible final : public IAccessible {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(IAccessible)) {
            return E_NOINTERFACE;
        }
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&references_)); }

    // Readers call the IAccessible methods directly; nothing is scripted through IDispatch.
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // The window's own object, which the system provides.
    STDMETHODIMP get_accParent(IDispatch** parent) override {
        return CreateStdAccessibleObject(Window(), OBJID_WINDOW, __uuidof(IDispatch), reinterpret_cast<void**>(parent));
    }
    STDMETHODIMP get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = ChildCount();
        return S_OK;
    }
    // Every child is a simple element, reached through this object and its id.
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        Element element;
        return Find(child, element) && child.lVal != CHILDID_SELF ? S_FALSE : E_INVALIDARG;
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        Element element;
        return Find(child, element) ? ReturnText(element.name, name) : E_INVALIDARG;
    }
    // The folder of "Install location" and the bar's percentage, as painted.
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
        Element element;
        if (!Find(child, element)) return E_INVALIDARG;
        if (element.role == ROLE_SYSTEM_TEXT) return ReturnText(g_state.installFolder.c_str(), value);
        if (element.role == ROLE_SYSTEM_PROGRESSBAR) return ReturnText(ShownPercentText(g_state).c_str(), value);
        return NoText(value);
    }
    STDMETHODIMP get_accDescription(VARIANT, BSTR* text) override { return NoText(text); }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        Element element;
        return Find(child, element) ? ReturnLong(element.role, role) : E_INVALIDARG;
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
        Element element;
        return Find(child, element) ? ReturnLong(element.state, state) : E_INVALIDARG;
    }
    STDMETHODIMP get_accHelp(VARIANT, BSTR* text) override { return NoText(text); }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, LONG*) override { return NoText(file); }
    // No keyboard interface: no shortcut, and nothing ever has the focus.
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* text) override { return NoText(text); }
    STDMETHODIMP get_accFocus(VARIANT* focus) override { return ReturnNothing(focus); }
    STDMETHODIMP get_accSelection(VARIANT* selection) override { return ReturnNothing(selection); }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        Element element;
        if (!Find(child, element)) return E_INVALIDARG;
        const wchar_t* name = ActionOf(element);
        return name ? ReturnText(name, action) : NoText(action);
    }
    STDMETHODIMP accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        Element element;
        if (!Find(child, element)) return E_INVALIDARG;
        if (!left || !top || !width || !height) return E_POINTER;
        const RECT& rect = element.rect;
        POINT corner{rect.left, rect.top};
        ClientToScreen(Window(), &corner);
        *left = corner.x;
        *top = corner.y;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    }
    // Reading order only; the elements' places on screen come from accLocation.
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        Element element;
        if (!Find(start, element)) return E_INVALIDARG;
        const LONG from = start.lVal;
        const LONG children = ChildCount();
        LONG to = 0;
        switch (direction) {
        case NAVDIR_FIRSTCHILD: to = from == 0 ? 1 : 0; break;
        case NAVDIR_LASTCHILD: to = from == 0 ? children : 0; break;
        case NAVDIR_NEXT: to = from == 0 ? 0 : from + 1; break;
        case NAVDIR_PREVIOUS: to = from - 1; break;
        default: return E_NOTIMPL;
        }
        return to > 0 && to <= children ? ReturnLong(to, end) : ReturnNothing(end);
    }
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* child) override {
        POINT point{x, y};
        ScreenToClient(Window(), &point);
        if (!PtInRect(&ClientRect, point)) return ReturnNothing(child);
        const ReadingOrder& order = Screens[static_cast<int>(CurrentScreen(g_state))];
        LONG found = order.count;
        while (found > 0 && !PtInRect(&Parts[order.parts[found - 1]].rect, point)) --found;
        return ReturnLong(found, child);
    }
    // The click itself decides, as for the mouse: nothing happens where a click does nothing.
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        Element element;
        if (!Find(child, element)) return E_INVALIDARG;
        if (!ActionOf(element)) return DISP_E_MEMBERNOTFOUND;
        const RECT& rect = element.rect;
        g_state.pendingPress = POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        return PostMessageW(Window(), WM_APP_PRESS, 0, 0) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    LONG references_ = 0;
};

ClientAccessible g_client;

void Notify(HWND window, DWORD event, LONG child) { NotifyWinEvent(event, window, OBJID_CLIENT, child); }

}  // namespace

LRESULT OnGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
    if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        // A failure is a negative HRESULT, also from the delay-load stand-in without oleacc.dll.
        const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, &g_client);
        if (result > 0) return result;
    }
    return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
}

void AnnouncePhase(HWND window) {
    Notify(window, EVENT_OBJECT_NAMECHANGE, SubLineChild);
    Notify(window, EVENT_OBJECT_NAMECHANGE, DetailChild);
}

void AnnouncePercent(HWND window) { Notify(window, EVENT_OBJECT_VALUECHANGE, ProgressChild); }

void AnnounceOpenOption(HWND window) { Notify(window, EVENT_OBJECT_STATECHANGE, OpenOptionChild); }

void AnnounceScreen(HWND window) {
    Notify(window, EVENT_OBJECT_REORDER, CHILDID_SELF);
    if (CurrentScreen(g_state) == Screen::Failure) Notify(window, EVENT_SYSTEM_ALERT, SubLineChild);
}
