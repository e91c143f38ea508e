// locations
#include "setup/locations.h"
