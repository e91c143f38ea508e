// Stand-in for setup/launch_app.cpp until that branch lands: nothing to open.
#include "setup/launch_app.h"

bool LaunchInstalledApp() { return false; }
