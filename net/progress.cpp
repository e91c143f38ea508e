// progress
#include "net/progress.h"
