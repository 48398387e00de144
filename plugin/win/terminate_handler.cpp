// What runs when an exception is never caught: the process ends at once.
// Every COM method catches what the core throws, so this is a fault, not a
// path. The handler libstdc++ installs by default would first print the
// exception's demangled type to standard error, which a plug-in inside a
// windowed host does not have; its demangler and the formatted printing it
// needs made up a fifth of Tavri.dll. Defining the handler here keeps that
// part of the library out of the link.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
