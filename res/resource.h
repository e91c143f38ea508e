// Resource identifiers, read by the resource compiler and by C++ alike.
#pragma once

#define IDI_KESTRAVON 101  // the application icon group
