// manifest_fetch
#include "net/manifest_fetch.h"
