// utf8
#include "pipeline/utf8.h"
