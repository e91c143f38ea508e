// trusted_host
#include "net/trusted_host.h"
