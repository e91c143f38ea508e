// The window's accessibility tree: the current screen's controls as simple children of the
// client area's IAccessible, each answered from g_state at the moment it is asked.
#include "app/accessibility.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

#include <oleacc.h>

#include "app/controls.h"
#include "app/layout.h"
#include "app/paint.h"
#include "app/startup.h"
#include "app/state.h"
#include "app/window.h"

namespace {

constexpr RECT ClientRect{0, 0, WindowWidth, WindowHeight};

struct Element {
    const wchar_t* name;     // null: none (the progress bar); points into g_state or at a constant
    LONG role;
    LONG state;
    const RECT* rect;        // client coordinates: where it is painted and hit
    const Control* control;  // null: the client area, or a line announced
};

HWND Window() { return g_state.mainWindow; }

const wchar_t* NameOf(const Control& control, Screen screen) {
    if (control.name) return control.name;
    switch (control.part) {
    case Part::Headline:
    case Part::SubLine: {
        const HeadlineTexts texts = TextsFor(screen, g_state);
        return control.part == Part::Headline ? texts.headline : texts.subLine;
    }
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

VARIANT Child(LONG id) {
    VARIANT child{};
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

// A child id is a control's row (ChildIdOf), refused while that control is not on the
// current screen: an id a reader kept never names another control. Negative ids name the
// lines announced, -1 the first, the last eight of them (g_state.announced): a reader reads
// a line when it handles the event, and by then another phase or screen may be up.
HRESULT Find(LONG id, Element& element) {
    if (!IsWindow(Window())) return RPC_E_DISCONNECTED;  // destroyed; the tree is disconnected
    const Screen screen = CurrentScreen(g_state);
    if (id < 0) {
        const auto line = static_cast<unsigned>(-(id + 1));
        const unsigned announced = g_state.linesAnnounced;
        if (line >= announced || announced - line > std::size(g_state.announced)) return E_INVALIDARG;
        const AnnouncedLine& said = g_state.announced[line % std::size(g_state.announced)];
        element = {said.words.c_str(), ROLE_SYSTEM_STATICTEXT, STATE_SYSTEM_READONLY, said.rect, nullptr};
    } else if (id == CHILDID_SELF) {
        const LONG focused = GetFocus() == Window() ? STATE_SYSTEM_FOCUSED : 0;
        element = {InstallerWindowTitle, ROLE_SYSTEM_CLIENT, STATE_SYSTEM_FOCUSABLE | focused, &ClientRect, nullptr};
    } else {
        const Control* control = ShownControl(id, screen);
        if (!control) return E_INVALIDARG;
        element = {NameOf(*control, screen), control->role, StateOf(*control, screen), &control->rect, control};
    }
    // While a modal dialog (the folder picker) has disabled the window, nothing can be used.
    if (!IsWindowEnabled(Window())) element.state |= STATE_SYSTEM_UNAVAILABLE;
    return S_OK;
}

HRESULT Find(const VARIANT& child, Element& element) {
    return child.vt == VT_I4 ? Find(child.lVal, element) : E_INVALIDARG;
}

// A method's first step: its out-parameter all bits zero (VT_EMPTY, null, 0), so that no
// failure leaves it unset for a caller that clears it.
HRESULT Clear(void* out, std::size_t size) {
    if (!out) return E_POINTER;
    std::memset(out, 0, size);
    return S_OK;
}

// Then the element `child` names.
HRESULT Lookup(const VARIANT& child, Element& element, void* out, std::size_t size) {
    const HRESULT cleared = Clear(out, size);
    return FAILED(cleared) ? cleared : Find(child, element);
}

// What a method without an answer for any element says, once the id is checked.
HRESULT Unsupported(const VARIANT& child, HRESULT answer) {
    Element element;
    const HRESULT found = Find(child, element);
    return FAILED(found) ? found : answer;
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

// Drawn at a reader's first press, not at start-up: the system's generator is a DLL that
// the first paint does not need.
UINT_PTR PressToken() {
    if (g_state.pressToken == 0) g_state.pressToken = NewToken();
    return g_state.pressToken;
}

// The out-parameter is cleared already.
HRESULT ReturnText(const wchar_t* text, BSTR* out) {
    if (!text) return S_FALSE;
    *out = SysAllocString(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReturnLong(LONG value, VARIANT* out) {
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
}

enum class Text { Name, Value, DefaultAction, None };

// Every text property of an element, read through one lookup. The value is the folder of
// "Install location" and the bar's percentage, as painted; None is a property no element has.
HRESULT ReadText(const VARIANT& child, BSTR* out, Text property) {
    Element element;
    const HRESULT found = Lookup(child, element, out, sizeof(*out));
    if (FAILED(found)) return found;
    switch (property) {
    case Text::Name: return ReturnText(element.name, out);
    case Text::Value:
        if (element.role == ROLE_SYSTEM_TEXT) return ReturnText(g_state.installFolder.c_str(), out);
        if (element.role == ROLE_SYSTEM_PROGRESSBAR) return ReturnText(ShownPercentText(g_state).c_str(), out);
        break;
    case Text::DefaultAction:
        if (const wchar_t* action = ActionOf(element)) return ReturnText(action, out);
        break;
    case Text::None: break;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT ReadLong(const VARIANT& child, VARIANT* out, LONG Element::*field) {
    Element element;
    const HRESULT found = Lookup(child, element, out, sizeof(*out));
    return FAILED(found) ? found : ReturnLong(element.*field, out);
}

// The current screen's child ids in reading order (AccessibleChildren asks for them), the
// enumeration half of the client object. Its own class, so that the client's overrides of
// IUnknown are the only ones reached through a second table.
class ChildEnumeration : public IEnumVARIANT {
public:
    STDMETHODIMP Next(ULONG count, VARIANT* children, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!children) return E_POINTER;
        if (!IsWindow(Window())) return RPC_E_DISCONNECTED;
        const Screen screen = CurrentScreen(g_state);
        ULONG done = 0;
        for (; done < count; ++done) {
            const LONG id = NextShownId(screen, cursor_, 1);
            if (id == 0) break;
            cursor_ = id;
            children[done].vt = VT_I4;
            children[done].lVal = id;
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        for (VARIANT skipped; count > 0; --count) {
            const HRESULT moved = ChildEnumeration::Next(1, &skipped, nullptr);
            if (moved != S_OK) return moved;
        }
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        cursor_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** copy) override;  // a new client object, its cursor where this one's is

protected:
    LONG cursor_ = 0;  // the id enumerated last; 0 before the first
};

// The client area. COM's interfaces are the one class hierarchy the project has. Each
// WM_GETOBJECT gets an object of its own (and Clone another), holding only its count of
// references and its enumeration's cursor: COM keeps one interface of an object for all
// its callers, so one object served to several readers would share a cursor. Everything
// else is read from g_state when asked, so an object a reader keeps never shows a past screen.
class ClientAccessible final : public IAccessible, public ChildEnumeration {
public:
    // Null when out of memory: a COM method answers E_OUTOFMEMORY rather than throw.
    static ClientAccessible* New(LONG cursor) {
        void* memory = std::malloc(sizeof(ClientAccessible));
        return memory ? new (memory) ClientAccessible(cursor) : nullptr;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == __uuidof(IEnumVARIANT)) {
            *object = static_cast<IEnumVARIANT*>(this);
        } else if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const auto left = static_cast<ULONG>(InterlockedDecrement(&references_));
        if (left == 0) std::free(this);  // nothing to destroy but the memory
        return left;
    }

    // Readers call the IAccessible methods directly; nothing is scripted through IDispatch.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
        for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (result) result->vt = VT_EMPTY;
        return E_NOTIMPL;
    }

    // The window's own object, which the system provides.
    STDMETHODIMP get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        return CreateStdAccessibleObject(Window(), OBJID_WINDOW, __uuidof(IDispatch), reinterpret_cast<void**>(parent));
    }
    STDMETHODIMP get_accChildCount(LONG* count) override {
        const HRESULT cleared = Clear(count, sizeof(*count));
        if (FAILED(cleared)) return cleared;
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
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override { return ReadText(child, name, Text::Name); }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override { return ReadText(child, value, Text::Value); }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override { return ReadText(child, text, Text::None); }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override { return ReadLong(child, role, &Element::role); }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
        return ReadLong(child, state, &Element::state);
    }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* text) override { return ReadText(child, text, Text::None); }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        if (topic) *topic = 0;
        return ReadText(child, file, Text::None);
    }
    // No keyboard interface: no shortcut, and no control takes the focus; the client area
    // has it while the window is active, as the system's own focus event says.
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
        return ReadText(child, text, Text::None);
    }
    STDMETHODIMP get_accFocus(VARIANT* focus) override {
        const HRESULT cleared = Clear(focus, sizeof(*focus));
        if (FAILED(cleared)) return cleared;
        return GetFocus() == Window() ? ReturnLong(CHILDID_SELF, focus) : S_FALSE;
    }
    STDMETHODIMP get_accSelection(VARIANT* selection) override {
        const HRESULT cleared = Clear(selection, sizeof(*selection));
        return FAILED(cleared) ? cleared : S_FALSE;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        return ReadText(child, action, Text::DefaultAction);
    }
    // The client area takes the focus; nothing here is selected.
    STDMETHODIMP accSelect(LONG flags, VARIANT child) override {
        const HRESULT allowed = Unsupported(child, child.lVal != CHILDID_SELF ? DISP_E_MEMBERNOTFOUND
                                                   : flags != SELFLAG_TAKEFOCUS ? E_INVALIDARG
                                                                                : S_OK);
        if (allowed != S_OK) return allowed;
        SetFocus(Window());
        return GetFocus() == Window() ? S_OK : S_FALSE;
    }
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        for (LONG* out : {left, top, width, height}) {
            if (out) *out = 0;
        }
        if (!left || !top || !width || !height) return E_POINTER;
        Element element;
        const HRESULT found = Find(child, element);
        if (FAILED(found)) return found;
        const RECT& rect = *element.rect;
        POINT corner{rect.left, rect.top};
        if (!ClientToScreen(Window(), &corner)) return E_FAIL;
        *left = corner.x;
        *top = corner.y;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    }
    // Reading order over the current screen's ids; the elements' places come from accLocation.
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        Element element;
        const HRESULT found = Lookup(start, element, end, sizeof(*end));
        if (FAILED(found)) return found;
        const Screen screen = CurrentScreen(g_state);
        LONG to = 0;
        switch (direction) {
        case NAVDIR_FIRSTCHILD:
        case NAVDIR_LASTCHILD:
            if (start.lVal == CHILDID_SELF) to = NextShownId(screen, 0, direction == NAVDIR_FIRSTCHILD ? 1 : -1);
            break;
        case NAVDIR_NEXT:
        case NAVDIR_PREVIOUS:
            if (start.lVal > 0) to = NextShownId(screen, start.lVal, direction == NAVDIR_NEXT ? 1 : -1);
            break;
        default: return DISP_E_MEMBERNOTFOUND;  // no spatial navigation
        }
        return to != 0 ? ReturnLong(to, end) : S_FALSE;
    }
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* child) override {
        const HRESULT cleared = Clear(child, sizeof(*child));
        if (FAILED(cleared)) return cleared;
        POINT point{x, y};
        if (!ScreenToClient(Window(), &point)) return E_FAIL;  // the window is gone
        if (!PtInRect(&ClientRect, point)) return S_FALSE;
        const Control* control = ControlAt(CurrentScreen(g_state), point);
        return ReturnLong(control ? ChildIdOf(*control) : CHILDID_SELF, child);
    }
    // Carried out later, on the window's thread, if it still holds then (ReaderPress).
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        Element element;
        const HRESULT pressable = Pressable(child, element);
        if (FAILED(pressable)) return pressable;
        const auto press = static_cast<WPARAM>(MAKEWPARAM(child.lVal, CurrentScreen(g_state)));
        return PostMessageW(Window(), WM_APP_PRESS, press, static_cast<LPARAM>(PressToken()))
                   ? S_OK
                   : HRESULT_FROM_WIN32(GetLastError());
    }
    STDMETHODIMP put_accName(VARIANT child, BSTR) override { return Unsupported(child, E_NOTIMPL); }
    STDMETHODIMP put_accValue(VARIANT child, BSTR) override { return Unsupported(child, E_NOTIMPL); }

private:
    explicit ClientAccessible(LONG cursor) { cursor_ = cursor; }

    LONG references_ = 1;
};

HRESULT ChildEnumeration::Clone(IEnumVARIANT** copy) {
    if (!copy) return E_POINTER;
    *copy = ClientAccessible::New(cursor_);
    return *copy ? S_OK : E_OUTOFMEMORY;
}

void Notify(HWND window, DWORD event, LONG child) { NotifyWinEvent(event, window, OBJID_CLIENT, child); }

// NVDA speaks a name change only for the focused object and an alert only for the alert
// role, but a live region's change whatever has the focus: so `words` are spoken as a live
// region, under an id of their own that keeps them, read like the control `from` they tell of.
// A `detail` follows the words after a comma.
void Announce(HWND window, const Control& from, const wchar_t* words, const wchar_t* detail = nullptr) {
    AnnouncedLine& line = g_state.announced[g_state.linesAnnounced++ % std::size(g_state.announced)];
    line.words = words;
    if (detail) line.words.append(L", ").append(detail);
    line.rect = &from.rect;
    Notify(window, EVENT_OBJECT_LIVEREGIONCHANGED, -static_cast<LONG>(g_state.linesAnnounced));
}

}  // namespace

LRESULT OnGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
    if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        if (ClientAccessible* client = ClientAccessible::New(0)) {
            // A failure is a negative HRESULT, also from the delay-load stand-in without oleacc.dll.
            const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(client));
            client->Release();  // the marshalled reference keeps it for the reader
            if (result > 0) return result;
        }
    }
    return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
}

const Control* ReaderPress(WPARAM wParam, LPARAM lParam) {
    // Until a reader pressed, no token is drawn and no WM_APP_PRESS is a reader's.
    if (g_state.pressToken == 0 || static_cast<UINT_PTR>(lParam) != g_state.pressToken) return nullptr;
    if (HIWORD(wParam) != static_cast<WORD>(CurrentScreen(g_state))) return nullptr;  // asked on another screen
    Element element;
    return SUCCEEDED(Pressable(Child(LOWORD(wParam)), element)) ? element.control : nullptr;
}

void AnnouncePhase(HWND window) {
    const Control& title = ControlOf(Part::SubLine);
    const Control& detail = ControlOf(Part::Detail);
    Notify(window, EVENT_OBJECT_NAMECHANGE, ChildIdOf(title));
    Notify(window, EVENT_OBJECT_NAMECHANGE, ChildIdOf(detail));
    Announce(window, title, g_state.statusTitle.c_str());
    Announce(window, detail, g_state.statusDetail.c_str());
}

void AnnouncePercent(HWND window) {
    Notify(window, EVENT_OBJECT_VALUECHANGE, ChildIdOf(ControlOf(Part::Progress)));
}

void AnnounceOpenOption(HWND window) {
    const Control& option = ControlOf(Part::OpenOption);
    Notify(window, EVENT_OBJECT_STATECHANGE, ChildIdOf(option));
    Announce(window, option, option.name, g_state.openAfterInstall ? L"checked" : L"not checked");
}

void AnnounceFolder(HWND window) {
    const Control& location = ControlOf(Part::Location);
    Notify(window, EVENT_OBJECT_VALUECHANGE, ChildIdOf(location));
    Announce(window, location, location.name, g_state.installFolder.c_str());
}

void AnnounceScreen(HWND window) {
    Notify(window, EVENT_OBJECT_REORDER, CHILDID_SELF);
    const Screen screen = CurrentScreen(g_state);
    const HeadlineTexts texts = TextsFor(screen, g_state);
    if (screen == Screen::Failure) Announce(window, ControlOf(Part::SubLine), texts.subLine);
    if (screen == Screen::Success) Announce(window, ControlOf(Part::Headline), texts.headline);
}
