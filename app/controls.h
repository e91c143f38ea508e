// The controls of the four screens, in one table read by clicks, the cursor, the painter and readers.
#pragma once

#include <windows.h>

#include "app/state.h"

// What a control is, for the painter and for the events that name it.
enum class Part : BYTE { Close, Headline, SubLine, Location, Change, Detail, Progress, OpenOption, MainButton };

// What a press on a live control does.
enum class Press : BYTE { None, CloseWindow, PickFolder, ToggleOpenOption, Install, Finish };

struct Control {
    RECT rect;            // from app/layout.h: where it is painted, hit and located
    const wchar_t* name;  // its name for readers; null where the state gives it, or it has none
    LONG role;            // ROLE_SYSTEM_*
    Part part;
    BYTE shownOn;         // the screens it is on, a bit each (1 << Screen)
    BYTE liveOn;          // the screens where a press on it is carried out
    Press press;          // what that press does; None where it has no action
};

// One screen's controls in reading order, which is also the order they are painted in.
struct ScreenControls {
    LONG count;
    const Control* at[6];
};
ScreenControls ControlsOf(Screen screen);

// The position (from 1) of the control under the client point, or 0 where there is none.
LONG PositionAt(const ScreenControls& controls, POINT point);
// The control of `screen` under the client point, or null.
const Control* ControlAt(Screen screen, POINT point);
// Whether a press on the control does anything on `screen`.
bool IsLive(const Control& control, Screen screen);
