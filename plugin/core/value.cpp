#include "value.h"

#include <limits>

#include "automation_error.h"
#include "ports.h"

namespace tavri {
namespace {

// The value as an operand of arithmetic: empty is 0, text must be a number.
std::int64_t operand(const Value& v, NumberParser& numbers) {
    if (v.isEmpty()) return 0;
    if (v.isInteger()) return v.asInteger();
    return numbers.parseInt32(v.asText());
}

}  // namespace

std::string Value::toString() const {
    if (isInteger()) return std::to_string(asInteger());
    if (isText()) return asText();
    return {};
}

Value subtract(const Value& a, const Value& b, NumberParser& numbers) {
    const std::int64_t left = operand(a, numbers);
    const std::int64_t right = operand(b, numbers);
    const std::int64_t difference = left - right;
    if (difference < std::numeric_limits<std::int32_t>::min() ||
        difference > std::numeric_limits<std::int32_t>::max()) {
        throw error::overflow();
    }
    return Value::integer(static_cast<std::int32_t>(difference));
}

}  // namespace tavri
