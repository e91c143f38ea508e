// The one table of every control on the four screens, and each screen's view of it.
#include "app/controls.h"

#include <iterator>

#include <oleacc.h>

#include "app/layout.h"

namespace {

constexpr BYTE On(Screen screen) { return static_cast<BYTE>(1u << static_cast<unsigned>(screen)); }
constexpr BYTE Idle = On(Screen::Idle), Installing = On(Screen::Installing), Success = On(Screen::Success),
               Failure = On(Screen::Failure);
constexpr BYTE Ready = Idle | Failure;  // where an installation can start
constexpr BYTE NotBusy = Ready | Success, BeforeSuccess = Ready | Installing, Every = NotBusy | Installing;

constexpr LONG Button = ROLE_SYSTEM_PUSHBUTTON, Label = ROLE_SYSTEM_STATICTEXT, Field = ROLE_SYSTEM_TEXT,
               Bar = ROLE_SYSTEM_PROGRESSBAR, CheckBox = ROLE_SYSTEM_CHECKBUTTON;
using enum Part;
using enum Press;

// In reading order; a row's place is its child id (ChildIdOf). The main button is two rows:
// "Done" does another thing than installing, and a reader resting on one never presses the other.
constexpr Control Controls[] = {
    // rectangle        name                 role      part        shown on       live on  press
    {CloseButtonRect,   L"Close",            Button,   Close,      Every,         NotBusy, CloseWindow},
    {HeadlineRect,      nullptr,             Label,    Headline,   Every,         0,       None},
    {SubLineRect,       nullptr,             Label,    SubLine,    Every,         0,       None},
    {FolderTextRect,    L"Install location", Field,    Location,   Ready,         0,       None},
    {ChangeButtonRect,  L"Change",           Button,   Change,     Ready,         Ready,   PickFolder},
    {DetailRect,        nullptr,             Label,    Detail,     Installing,    0,       None},
    {ProgressTrackRect, nullptr,             Bar,      Progress,   Installing,    0,       None},
    {OpenOptionRect,    L"Open Kestravon",   CheckBox, OpenOption, Success,       Success, ToggleOpenOption},
    {MainButtonRect,    nullptr,             Button,   MainButton, BeforeSuccess, Ready,   Install},
    {MainButtonRect,    nullptr,             Button,   MainButton, Success,       Success, Finish},
};

// Every screen's controls fit in ScreenControls.
constexpr bool FitEveryScreen() {
    for (unsigned screen = 0; screen < 4; ++screen) {
        std::size_t count = 0;
        for (const Control& control : Controls) count += (control.shownOn >> screen) & 1u;
        if (count > std::size(ScreenControls{}.at)) return false;
    }
    return true;
}
static_assert(FitEveryScreen());

}  // namespace

ScreenControls ControlsOf(Screen screen) {
    ScreenControls controls{};
    for (const Control& control : Controls) {
        if (control.shownOn & On(screen)) controls.at[controls.count++] = &control;
    }
    return controls;
}

LONG ChildIdOf(const Control& control) { return static_cast<LONG>(&control - Controls) + 1; }

const Control* ShownControl(LONG childId, Screen screen) {
    if (childId < 1 || childId > static_cast<LONG>(std::size(Controls))) return nullptr;
    const Control& control = Controls[childId - 1];
    return (control.shownOn & On(screen)) ? &control : nullptr;
}

LONG NextShownId(Screen screen, LONG childId, LONG step) {
    constexpr auto Rows = static_cast<LONG>(std::size(Controls));
    LONG id = childId != 0 ? childId + step : (step > 0 ? 1 : Rows);
    for (; id > 0 && id <= Rows; id += step) {
        if (ShownControl(id, screen)) return id;
    }
    return 0;
}

const Control& ControlOf(Part part) {
    const Control* control = Controls;
    while (control->part != part) ++control;
    return *control;
}

const Control* ControlAt(Screen screen, POINT point) {
    const ScreenControls controls = ControlsOf(screen);
    LONG found = controls.count;
    while (found > 0 && !PtInRect(&controls.at[found - 1]->rect, point)) --found;
    return found != 0 ? controls.at[found - 1] : nullptr;
}

bool IsLive(const Control& control, Screen screen) { return (control.liveOn & On(screen)) != 0; }
