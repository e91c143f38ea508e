// folder_picker
#include "setup/folder_picker.h"
