#pragma once
// The boundary between C++ exceptions and COM: every method of the plug-in
// object runs its body through guarded(), so nothing escapes across COM and
// an AutomationError reaches the caller as 0x800A0000 | number plus
// IErrorInfo (source "TavriPlugin", the error's description).
#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string_view>

#include "automation_error.h"

namespace tavri::win {

// A failed platform call inside a method body; returned as it is.
struct HresultError {
    HRESULT hr;
};

// HRESULT of an automation error number (FACILITY_CONTROL).
HRESULT automationHresult(std::int32_t number);

// Sets this thread's IErrorInfo and returns the HRESULT to hand back.
HRESULT reportError(HRESULT hr, std::string_view description) noexcept;
HRESULT reportError(const AutomationError& error) noexcept;

template <typename Body>
HRESULT guarded(Body&& body) noexcept {
    try {
        SetErrorInfo(0, nullptr);  // no stale error from an earlier call
        body();
        return S_OK;
    } catch (const AutomationError& e) {
        return reportError(e);
    } catch (const HresultError& e) {
        return e.hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        return reportError(E_UNEXPECTED, e.what());
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace tavri::win
