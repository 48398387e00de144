#include "automation_error.h"

namespace tavri::error {

AutomationError invalidCall() { return {kInvalidCall, "Invalid procedure call or argument"}; }
AutomationError overflow() { return {kOverflow, "Overflow"}; }
AutomationError typeMismatch() { return {kTypeMismatch, "Type mismatch"}; }
AutomationError formAlreadyModal() {
    return {kFormAlreadyModal, "Form already displayed; can't show modally"};
}

}  // namespace tavri::error
