// Where everything sits in the 560 x 380 client area, in device pixels: every rectangle
// the window paints or hit-tests has its one home here.
#pragma once

#include <windows.h>

constexpr int WindowWidth = 560;
constexpr int WindowHeight = 380;
constexpr int DragStripHeight = 94;  // a press above this line (outside a control) drags

// On every screen.
constexpr RECT AccentLineRect{0, 0, WindowWidth, 2};
constexpr RECT AppIconRect{40, 38, 74, 72};
constexpr RECT WordmarkRect{86, 34, 330, 61};
constexpr RECT TaglineRect{86, 57, 340, 82};
constexpr RECT CloseButtonRect{510, 12, 544, 46};
constexpr RECT HeadlineRect{40, 104, WindowWidth - 40, 143};
constexpr RECT SubLineRect{40, 145, WindowWidth - 40, 178};
constexpr RECT MainButtonRect{40, 300, 520, 344};
constexpr int MainButtonCorner = 16;

// Idle and failure: the install location.
constexpr RECT LocationLabelRect{40, 190, 220, 216};
constexpr RECT LocationBoxRect{40, 218, 520, 264};
constexpr int LocationBoxCorner = 12;
constexpr RECT FolderTextRect{54, 221, 414, 261};
constexpr RECT ChangeButtonRect{424, 225, 504, 257};
constexpr int ChangeButtonCorner = 10;

// Installing: the phase detail, the progress bar and its percentage.
constexpr RECT DetailRect{40, 186, WindowWidth - 40, 214};
constexpr RECT ProgressTrackRect{40, 230, WindowWidth - 40, 240};
constexpr int ProgressCorner = 10;
constexpr int ProgressMinimumWidth = 10;
constexpr RECT PercentRect{WindowWidth - 95, 247, WindowWidth - 40, 273};

// Success: the "Open Kestravon" option. The click target spans the box and the label's text.
constexpr RECT OpenOptionBoxRect{40, 218, 58, 236};
constexpr int OpenOptionBoxCorner = 5;
constexpr RECT OpenOptionLabelRect{68, 211, 260, 244};
constexpr RECT OpenOptionRect{40, 214, 250, 248};
