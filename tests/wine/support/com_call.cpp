#include "com_call.h"

#include <cstdio>
#include <utility>

namespace wintest {

Arg Arg::value(long n) {
    Arg a;
    V_VT(&a.v_) = VT_I4;
    V_I4(&a.v_) = n;
    return a;
}

Arg Arg::value(const std::wstring& text) {
    Arg a;
    a.text_.reset(bstr(text), SysFreeString);
    V_VT(&a.v_) = VT_BSTR;
    V_BSTR(&a.v_) = a.text_.get();
    return a;
}

Arg Arg::value(IDispatch* object) {
    Arg a;
    V_VT(&a.v_) = VT_DISPATCH;
    V_DISPATCH(&a.v_) = object;
    return a;
}

Arg Arg::refBstr(BSTR* slot) {
    Arg a;
    V_VT(&a.v_) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&a.v_) = slot;
    return a;
}

Arg Arg::refLong(long* slot) {
    Arg a;
    V_VT(&a.v_) = VT_BYREF | VT_I4;
    V_I4REF(&a.v_) = slot;
    return a;
}

Arg Arg::refVariant(VARIANT* slot) {
    Arg a;
    V_VT(&a.v_) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&a.v_) = slot;
    return a;
}

CallResult::CallResult() {
    VariantInit(&result);
    exception = {};
}

CallResult::~CallResult() {
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

CallResult::CallResult(CallResult&& o) noexcept : hr(o.hr), argError(o.argError) {
    result = o.result;
    VariantInit(&o.result);
    exception = o.exception;
    o.exception = {};
}

CallResult& CallResult::operator=(CallResult&& o) noexcept {
    if (this != &o) {
        std::swap(hr, o.hr);
        std::swap(result, o.result);
        std::swap(exception, o.exception);
        std::swap(argError, o.argError);
    }
    return *this;
}

long CallResult::errorNumber() const {
    if (exception.wCode) return exception.wCode;
    const HRESULT code = exception.scode ? exception.scode : hr;
    return HRESULT_FACILITY(code) == FACILITY_CONTROL ? HRESULT_CODE(code) : 0;
}

std::wstring CallResult::description() const { return text(exception.bstrDescription); }
std::wstring CallResult::source() const { return text(exception.bstrSource); }

bool CallResult::isTrue() const {
    return V_VT(&result) == VT_BOOL && V_BOOL(&result) == VARIANT_TRUE;
}

DISPID dispidOf(IDispatch* object, const wchar_t* name, HRESULT* hr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT rc = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr) *hr = rc;
    return SUCCEEDED(rc) ? id : DISPID_UNKNOWN;
}

CallResult call(IDispatch* object, DISPID member, const std::vector<Arg>& args) {
    std::vector<VARIANTARG> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->variant());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                      static_cast<UINT>(reversed.size()), 0};
    CallResult r;
    r.hr = object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                          &r.result, &r.exception, &r.argError);
    if (r.exception.pfnDeferredFillIn) {
        r.exception.pfnDeferredFillIn(&r.exception);
        r.exception.pfnDeferredFillIn = nullptr;
    }
    return r;
}

CallResult call(IDispatch* object, const wchar_t* method, const std::vector<Arg>& args) {
    HRESULT hr = S_OK;
    const DISPID id = dispidOf(object, method, &hr);
    if (FAILED(hr)) {
        CallResult r;
        r.hr = hr;
        return r;
    }
    return call(object, id, args);
}

Bstr::Bstr(const std::wstring& text) : b_(bstr(text)) {}
Bstr::~Bstr() { SysFreeString(b_); }
std::wstring Bstr::text() const { return wintest::text(b_); }

BSTR bstr(const std::wstring& text) {
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::wstring text(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

std::wstring hex(HRESULT hr) {
    wchar_t buffer[16];
    swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

}  // namespace wintest
