// paint
#include "app/paint.h"
