// run_setup
#include "setup/run_setup.h"
