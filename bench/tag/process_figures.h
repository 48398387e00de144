#pragma once
// What a long-running host process can watch of itself: open handles and
// private bytes.
#include <cstdint>

namespace bench {

struct ProcessFigures {
    unsigned long handles = 0;
    std::uint64_t privateBytes = 0;
};

// Wine answers GetProcessHandleCount and PrivateUsage with 0; then the
// handles are counted in the system's handle table and the private bytes
// read from PagefileUsage (the commit charge, which Windows reports as the
// same figure).
ProcessFigures currentProcessFigures();

}  // namespace bench
