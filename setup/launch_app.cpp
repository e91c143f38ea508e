// launch_app
#include "setup/launch_app.h"
