// The runtime's math error hook: leaves a math error to the default handling, silently.
#include <math.h>

// The runtime's start-up registers _matherr, and its own one prints a message to stderr,
// which a GUI process does not have, pulling fprintf and its message table (about 1 KiB)
// into the executable. Linked as an object ahead of the library, this one replaces it.
// The installer does no floating-point mathematics, so it is never called anyway.
extern "C" int _matherr(struct _exception*) { return 0; }  // NOLINT(bugprone-reserved-identifier)
