// Placeholder until the WinINet fetch lands.
#include "get_source.h"

namespace tavri::win {
std::string GetSource(const std::string&) { return {}; }
void releaseInternetSession() {}
}  // namespace tavri::win
