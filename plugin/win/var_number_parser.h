#pragma once
// Text to 32-bit integer the way automation converts it (VarI4FromStr with
// the user's locale: blanks around the digits ignored, locale separators).
#include "ports.h"

namespace tavri::win {

class VarNumberParser : public NumberParser {
public:
    std::int32_t parseInt32(std::string_view text) override;
};

}  // namespace tavri::win
