// path_rules
#include "setup/path_rules.h"
