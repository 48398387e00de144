#pragma once
// The automation-style value that the report methods return: nothing (the
// empty variant), a 32-bit signed integer, or text (UTF-8).
#include <cstdint>
#include <string>
#include <variant>

namespace tavri {

class NumberParser;

class Value {
public:
    Value() = default;  // empty
    static Value integer(std::int32_t n) {
        Value v;
        v.data_ = n;
        return v;
    }
    static Value text(std::string s) {
        Value v;
        v.data_ = std::move(s);
        return v;
    }

    bool isEmpty() const { return std::holds_alternative<std::monostate>(data_); }
    bool isInteger() const { return std::holds_alternative<std::int32_t>(data_); }
    bool isText() const { return std::holds_alternative<std::string>(data_); }
    std::int32_t asInteger() const { return std::get<std::int32_t>(data_); }
    const std::string& asText() const { return std::get<std::string>(data_); }

    // Empty -> "", integer -> plain decimal digits with a minus sign, text unchanged.
    std::string toString() const;

    bool operator==(const Value&) const = default;

private:
    std::variant<std::monostate, std::int32_t, std::string> data_;
};

// a - b with the automation rules: empty counts as 0, text must parse as a
// number (through the platform's parser) or the subtraction is a type
// mismatch; a result outside 32 bits is an overflow.
Value subtract(const Value& a, const Value& b, NumberParser& numbers);

}  // namespace tavri
