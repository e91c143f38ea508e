// https
#include "net/https.h"
