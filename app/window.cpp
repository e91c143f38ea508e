// window
#include "app/window.h"
