#pragma once
// Starts a command line with a ShowWindow style and does not wait for it.
#include "ports.h"

namespace tavri::win {

class ShellProcessStarter : public ProcessStarter {
public:
    void start(std::string_view commandLine, int showStyle) override;
};

}  // namespace tavri::win
