#pragma once
// Starts a command line with a ShowWindow style and does not wait for it. The
// program its first word names is taken from the Windows folder or else the
// system folder, never searched for.
#include "ports.h"

namespace tavri::win {

class ShellProcessStarter : public ProcessStarter {
public:
    void start(std::string_view commandLine, int showStyle) override;
};

}  // namespace tavri::win
