// The windows of a program under test: its top-level windows, the folder picker's dialog
// and name box, and keys pressed in them.
#pragma once

#include <windows.h>

// The first visible top-level window of `processId` with class `className` and title
// `title` (null: any); null when there is none.
HWND FindTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title);
// The folder picker's dialog, a top-level window of `processId`.
HWND FindPickerDialog(DWORD processId);
// The dialog's file name box: the first visible, enabled Edit among its descendants that
// is edt1 (0x480), sits in the combo cmb13 (0x47c), or is the dialog's own child.
HWND FindNameBox(HWND dialog);
// A key as a modal loop sees it: a press and release posted to `target`. (Under Wine 8 an
// Escape injected with SendInput leaves the next dialog of the thread unable to open.)
void PressKey(HWND target, WPARAM key);
