// The process's terminate handler: ends the process without naming the exception.
#include <cxxabi.h>

#include <cstdlib>

// libstdc++ makes __gnu_cxx::__verbose_terminate_handler the default handler and refers to it
// by name, so this definition, linked as an object ahead of the library, replaces the library's
// own. That one prints the demangled type of the exception to stderr (which a GUI process does
// not have) and drags the whole name demangler, about 45 KiB, into the executable. Both abort.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
