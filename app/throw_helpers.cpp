// The runtime's throw helpers, replaced so the executable does not carry a second string class.
#include <exception>
#include <new>
#include <typeinfo>

// libstdc++ raises its own errors (a string grown past max_size, a bad cast, out of memory)
// through these std::__throw_* functions, all defined in one library object. That object builds
// the logic_error family's messages with the old copy-on-write string, which drags a whole
// second string implementation into the executable. Defined here, linked as objects ahead of the
// library, they replace that object. The installer never inspects an exception's type: anything
// thrown ends in the worker's catch-all, which reports "An unexpected error occurred.". So every
// error but std::bad_exception is thrown as std::bad_alloc, which carries no message and whose type
// information the runtime holds anyway: another type's would only add its virtual table, type
// information and destructor.
namespace std {  // NOLINT(cert-dcl58-cpp): replaces libstdc++'s own definitions on purpose
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_bad_cast() { throw bad_alloc(); }
void __throw_bad_typeid() { throw bad_alloc(); }
void __throw_bad_exception() { throw bad_exception(); }
void __throw_logic_error(const char*) { throw bad_alloc(); }
void __throw_domain_error(const char*) { throw bad_alloc(); }
void __throw_invalid_argument(const char*) { throw bad_alloc(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_out_of_range(const char*) { throw bad_alloc(); }
void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }
void __throw_runtime_error(const char*) { throw bad_alloc(); }
void __throw_range_error(const char*) { throw bad_alloc(); }
void __throw_overflow_error(const char*) { throw bad_alloc(); }
void __throw_underflow_error(const char*) { throw bad_alloc(); }
}  // namespace std
