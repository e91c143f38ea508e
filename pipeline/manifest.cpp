// manifest
#include "pipeline/manifest.h"
