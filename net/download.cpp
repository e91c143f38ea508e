// download
#include "net/download.h"
