// The window's accessibility tree: the current screen's controls as simple children of the
// client area's IAccessible, each answered from g_state at the moment it is asked.
#include "app/accessibility.h"

#include <iterator>

#include <oleacc.h>

#include "app/controls.h"
#include "app/layout.h"
#include "app/paint.h"
#include "app/startup.h"
#include "app/state.h"

namespace {

constexpr RECT ClientRect{0, 0, WindowWidth, WindowHeight};

struct Element {
    const wchar_t* name;  // null: none (the progress bar); points into g_state or at a constant
    LONG role;
    LONG state;
    RECT rect;               // client coordinates: where it is painted and hit
    const Control* control;  // null: the client area itself
    Screen screen;           // the screen whose element it is
    LONG position;           // its place in that screen's reading order, from 1; 0 for the client
};

HWND Window() { return g_state.mainWindow; }

const wchar_t* NameOf(const Control& control, Screen screen) {
    if (control.name) return control.name;
    switch (control.part) {
    case Part::Headline: return TextsFor(screen, g_state).headline;
    case Part::SubLine: return TextsFor(screen, g_state).subLine;
    case Part::Detail: return g_state.statusDetail.c_str();
    case Part::MainButton: return g_state.buttonLabel.c_str();
    default: return nullptr;
    }
}

LONG StateOf(const Control& control, Screen screen) {
    if (control.press == Press::None) return STATE_SYSTEM_READONLY;
    const LONG checked = control.part == Part::OpenOption && g_state.openAfterInstall ? STATE_SYSTEM_CHECKED : 0;
    return checked | (IsLive(control, screen) ? 0 : STATE_SYSTEM_UNAVAILABLE);
}

// The element at `position` (from 1) of `screen`'s reading order, or the client area for 0.
void Describe(Screen screen, LONG position, Element& element) {
    // While a modal dialog (the folder picker) has disabled the window, nothing can be used.
    const LONG disabled = IsWindowEnabled(Window()) ? 0 : STATE_SYSTEM_UNAVAILABLE;
    if (position == CHILDID_SELF) {
        const LONG focused = GetFocus() == Window() ? STATE_SYSTEM_FOCUSED : 0;
        element = {InstallerWindowTitle, ROLE_SYSTEM_CLIENT, STATE_SYSTEM_FOCUSABLE | focused | disabled, ClientRect,
                   nullptr, screen, 0};
        return;
    }
    const Control& control = *ControlsOf(screen).at[position - 1];
    element = {NameOf(control, screen), control.role, StateOf(control, screen) | disabled, control.rect, &control,
               screen, position};
}

// The child id of `part` on `screen`.
LONG ChildOf(Screen screen, Part part) {
    const ScreenControls controls = ControlsOf(screen);
    LONG position = controls.count;
    while (position > 0 && controls.at[position - 1]->part != part) --position;
    return position;
}

// Child ids are reading positions on the current screen, from 1, so no id outlives its
// screen as another element's. Negative ids name the phase lines announced, -1 the first,
// the last eight of them (g_state.phaseLines): a reader reads a line when it handles the
// event, and by then the next phase, or the success, may be up.
HRESULT Find(const VARIANT& child, Element& element) {
    if (!IsWindow(Window())) return RPC_E_DISCONNECTED;  // destroyed; the tree is disconnected
    if (child.vt != VT_I4) return E_INVALIDARG;
    if (child.lVal < 0) {
        const auto line = static_cast<unsigned>(-(child.lVal + 1));
        const unsigned announced = g_state.phaseLinesAnnounced;
        if (line >= announced || announced - line > std::size(g_state.phaseLines)) return E_INVALIDARG;
        // A title, then its detail: the installing screen's sub-line and detail as they read then.
        Describe(Screen::Installing, ChildOf(Screen::Installing, line % 2 ? Part::Detail : Part::SubLine), element);
        element.name = g_state.phaseLines[line % std::size(g_state.phaseLines)].c_str();
        return S_OK;
    }
    const Screen screen = CurrentScreen(g_state);
    if (child.lVal > ControlsOf(screen).count) return E_INVALIDARG;
    Describe(screen, child.lVal, element);
    return S_OK;
}

// What a click on the element is called; null where it has no action (text, the bar).
const wchar_t* ActionOf(const Element& element) {
    if (!element.control || element.control->press == Press::None) return nullptr;
    if (element.role != ROLE_SYSTEM_CHECKBUTTON) return L"Press";
    return (element.state & STATE_SYSTEM_CHECKED) ? L"Uncheck" : L"Check";
}

// A reader's press is carried out only where a click would act: what the reader is told is
// unavailable (inactive on this screen, or the window disabled) refuses it.
HRESULT Pressable(const VARIANT& child, Element& element) {
    const HRESULT found = Find(child, element);
    if (FAILED(found)) return found;
    if (!ActionOf(element)) return DISP_E_MEMBERNOTFOUND;
    return (element.state & STATE_SYSTEM_UNAVAILABLE) ? E_FAIL : S_OK;
}

VARIANT Child(LONG id) {
    VARIANT child{};
    child.vt = VT_I4;
    child.lVal = id;
    return child;
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
        *count = ControlsOf(CurrentScreen(g_state)).count;
        return S_OK;
    }
    // Every child is a simple element, reached through this object and its id.
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        Element element;
        const HRESULT found = Find(child, element);
        if (FAILED(found)) return found;
        return child.lVal != CHILDID_SELF ? S_FALSE : E_INVALIDARG;
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        Element element;
        const HRESULT found = Find(child, element);
        return FAILED(found) ? found : ReturnText(element.name, name);
    }
    // The folder of "Install location" and the bar's percentage, as painted.
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
        Element element;
        const HRESULT found = Find(child, element);
        if (FAILED(found)) return found;
        if (element.role == ROLE_SYSTEM_TEXT) return ReturnText(g_state.installFolder.c_str(), value);
        if (element.role == ROLE_SYSTEM_PROGRESSBAR) return ReturnText(ShownPercentText(g_state).c_str(), value);
        return NoText(value);
    }
    STDMETHODIMP get_accDescription(VARIANT, BSTR* text) override { return NoText(text); }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        Element element;
        const HRESULT found = Find(child, element);
        return FAILED(found) ? found : ReturnLong(element.role, role);
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
        Element element;
        const HRESULT found = Find(child, element);
        return FAILED(found) ? found : ReturnLong(element.state, state);
    }
    STDMETHODIMP get_accHelp(VARIANT, BSTR* text) override { return NoText(text); }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, LONG*) override { return NoText(file); }
    // No keyboard interface: no shortcut, and no control takes the focus; the client area
    // has it while the window is active, as the system's own focus event says.
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* text) override { return NoText(text); }
    STDMETHODIMP get_accFocus(VARIANT* focus) override {
        return GetFocus() == Window() ? ReturnLong(CHILDID_SELF, focus) : ReturnNothing(focus);
    }
    STDMETHODIMP get_accSelection(VARIANT* selection) override { return ReturnNothing(selection); }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        Element element;
        const HRESULT found = Find(child, element);
        if (FAILED(found)) return found;
        const wchar_t* name = ActionOf(element);
        return name ? ReturnText(name, action) : NoText(action);
    }
    STDMETHODIMP accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        Element element;
        const HRESULT found = Find(child, element);
        if (FAILED(found)) return found;
        if (!left || !top || !width || !height) return E_POINTER;
        const RECT& rect = element.rect;
        POINT corner{rect.left, rect.top};
        if (!ClientToScreen(Window(), &corner)) return E_FAIL;
        *left = corner.x;
        *top = corner.y;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    }
    // Reading order only; the elements' places on screen come from accLocation.
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        Element element;
        const HRESULT found = Find(start, element);
        if (FAILED(found)) return found;
        const LONG from = start.lVal;
        const LONG children = ControlsOf(element.screen).count;
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
        if (!ScreenToClient(Window(), &point)) return E_FAIL;
        if (!PtInRect(&ClientRect, point)) return ReturnNothing(child);
        return ReturnLong(PositionAt(ControlsOf(CurrentScreen(g_state)), point), child);
    }
    // Carried out later, on the window's thread, if it still holds then (ReaderPress).
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        Element element;
        const HRESULT pressable = Pressable(child, element);
        if (FAILED(pressable)) return pressable;
        const auto press = static_cast<WPARAM>(MAKEWPARAM(element.position, element.screen));
        return PostMessageW(Window(), WM_APP_PRESS, press, static_cast<LPARAM>(g_state.pressToken))
                   ? S_OK
                   : HRESULT_FROM_WIN32(GetLastError());
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

const Control* ReaderPress(WPARAM wParam, LPARAM lParam) {
    if (static_cast<UINT_PTR>(lParam) != g_state.pressToken) return nullptr;
    if (HIWORD(wParam) != static_cast<WORD>(CurrentScreen(g_state))) return nullptr;  // asked on another screen
    Element element;
    return SUCCEEDED(Pressable(Child(LOWORD(wParam)), element)) ? element.control : nullptr;
}

void DisconnectAccessible() { CoDisconnectObject(&g_client, 0); }

// NVDA speaks a name change only for the focused object and an alert only for the alert
// role; a live region's change it speaks whatever has the focus.
void AnnouncePhase(HWND window) {
    Notify(window, EVENT_OBJECT_NAMECHANGE, ChildOf(Screen::Installing, Part::SubLine));
    Notify(window, EVENT_OBJECT_NAMECHANGE, ChildOf(Screen::Installing, Part::Detail));
    for (const std::wstring* line : {&g_state.statusTitle, &g_state.statusDetail}) {
        g_state.phaseLines[g_state.phaseLinesAnnounced++ % std::size(g_state.phaseLines)] = *line;
        Notify(window, EVENT_OBJECT_LIVEREGIONCHANGED, -static_cast<LONG>(g_state.phaseLinesAnnounced));
    }
}

void AnnouncePercent(HWND window) {
    Notify(window, EVENT_OBJECT_VALUECHANGE, ChildOf(Screen::Installing, Part::Progress));
}

void AnnounceOpenOption(HWND window) {
    Notify(window, EVENT_OBJECT_STATECHANGE, ChildOf(Screen::Success, Part::OpenOption));
}

void AnnounceScreen(HWND window) {
    Notify(window, EVENT_OBJECT_REORDER, CHILDID_SELF);
    const Screen screen = CurrentScreen(g_state);
    if (screen == Screen::Failure) Notify(window, EVENT_OBJECT_LIVEREGIONCHANGED, ChildOf(screen, Part::SubLine));
    if (screen == Screen::Success) Notify(window, EVENT_OBJECT_LIVEREGIONCHANGED, ChildOf(screen, Part::Headline));
}
