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

// A control's child id for screen readers is its row in the table, from 1: it names that
// control for the life of the window, on whichever screen it is asked.
LONG ChildIdOf(const Control& control);
// The control of a child id shown on `screen`, or null (another screen's, or no row).
const Control* ShownControl(LONG childId, Screen screen);
// The child id of the control shown on `screen` next after `childId` in reading order
// (step 1) or next before it (step -1), from 0 the first or the last; 0 where there is none.
LONG NextShownId(Screen screen, LONG childId, LONG step);
// The first row of `part`.
const Control& ControlOf(Part part);
// The control of `screen` under the client point, or null.
const Control* ControlAt(Screen screen, POINT point);
// Whether a press on the control does anything on `screen`.
bool IsLive(const Control& control, Screen screen);
