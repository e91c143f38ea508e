// startup
#include "app/startup.h"
