#include "com_error.h"

#include <oleauto.h>

#include "TavriPlugin_h.h"
#include "handles.h"
#include "text.h"

namespace tavri::win {
namespace {

void setErrorInfo(std::string_view description) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return;
    create->SetGUID(IID__plugin);
    create->SetSource(const_cast<LPOLESTR>(L"TavriPlugin"));
    const std::wstring text = toWide(description);
    create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.putVoid())))
        SetErrorInfo(0, info.get());
}

}  // namespace

HRESULT automationHresult(std::int32_t number) {
    // Numbers outside 1..65535 cannot be carried in the code's low word.
    if (number <= 0 || number > 0xFFFF) return E_FAIL;
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
}

HRESULT reportError(HRESULT hr, std::string_view description) noexcept {
    try {
        setErrorInfo(description);
    } catch (...) {
        // The error still reaches the caller, only without its text.
    }
    return hr;
}

HRESULT reportError(const AutomationError& error) noexcept {
    return reportError(automationHresult(error.number()), error.what());
}

}  // namespace tavri::win
