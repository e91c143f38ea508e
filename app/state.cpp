// state
#include "app/state.h"
