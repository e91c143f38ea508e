// hex_digest
#include "net/download.h"
