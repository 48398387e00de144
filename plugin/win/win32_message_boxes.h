#pragma once
// Modal message boxes with an OK button (MessageBoxW).
#include "ports.h"

namespace tavri::win {

class Win32MessageBoxes : public MessageBoxes {
public:
    void show(std::string_view text, std::string_view caption, MessageIcon icon) override;
};

}  // namespace tavri::win
