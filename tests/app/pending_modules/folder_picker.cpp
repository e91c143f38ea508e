// Stand-in for setup/folder_picker.cpp until that branch lands: the user always cancels.
#include "setup/folder_picker.h"

bool PickInstallFolder(HWND) { return false; }
