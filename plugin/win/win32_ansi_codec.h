#pragma once
// Text to the system's ANSI code page (CP_ACP).
#include "ports.h"

namespace tavri::win {

class Win32AnsiCodec : public AnsiCodec {
public:
    std::string toAnsi(std::string_view utf8) override;
};

}  // namespace tavri::win
