// state
#include "app/state.h"

InstallerState g_state;
