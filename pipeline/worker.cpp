// worker
#include "pipeline/worker.h"
