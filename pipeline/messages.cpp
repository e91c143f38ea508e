// messages
#include "pipeline/messages.h"
