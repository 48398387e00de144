#pragma once
// The one error type of the plug-in's behaviour. It carries an automation
// error number; the COM layer turns it into HRESULT 0x800A0000 | number and
// fills IErrorInfo so script callers see the number and the description.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavri {

class AutomationError : public std::runtime_error {
public:
    AutomationError(std::int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    std::int32_t number() const noexcept { return number_; }
    std::string description() const { return what(); }

private:
    std::int32_t number_;
};

namespace error {
constexpr std::int32_t kInvalidCall = 5;
constexpr std::int32_t kOverflow = 6;
constexpr std::int32_t kTypeMismatch = 13;
// Raised when the settings form is asked to show modally while it already is.
constexpr std::int32_t kFormAlreadyModal = 400;

AutomationError invalidCall();       // 5 "Invalid procedure call or argument"
AutomationError overflow();          // 6 "Overflow"
AutomationError typeMismatch();      // 13 "Type mismatch"
AutomationError formAlreadyModal();  // 400 "Form already displayed; can't show modally"
}  // namespace error

}  // namespace tavri
