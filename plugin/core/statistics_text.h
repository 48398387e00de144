#pragma once
// The four-line statistics text that replaces the tag.
#include <string>
#include <string_view>

#include "value.h"

namespace tavri {

// Labels are bold (U+0002 ... U+000F) and followed by a blank; lines are
// joined by CR LF with none after the last.
std::string statisticsText(const Value& planName, const Value& amountUsed, const Value& planLimit,
                           std::string_view amountLeft);

}  // namespace tavri
