#include "dispatch_call.h"

#include <algorithm>
#include <cwchar>

namespace plughost {

std::wstring CallFailure::text() const {
    wchar_t code[32];
    if (number != 0) {
        swprintf(code, 32, L"error %ld", number);
    } else {
        swprintf(code, 32, L"error 0x%08lX", static_cast<unsigned long>(hr));
    }
    return description.empty() ? code : std::wstring(code) + L": " + description;
}

BstrSlot::BstrSlot(const std::wstring& text)
    : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
BstrSlot::~BstrSlot() { SysFreeString(value_); }

VARIANTARG BstrSlot::byRef() {
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&v) = &value_;
    return v;
}

std::wstring BstrSlot::text() const {
    return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring();
}

VARIANTARG longByRef(long* slot) {
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_I4;
    V_I4REF(&v) = slot;
    return v;
}

VARIANTARG longValue(long n) {
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}

VARIANTARG dispatchValue(IDispatch* object) {
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
}

VARIANTARG stringValue(const std::wstring& text, Bstr& keep) {
    keep.reset(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = keep.get();
    return v;
}

void callByName(IDispatch* object, const wchar_t* method, std::vector<VARIANTARG> args,
                Variant& result) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(method)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) throw CallFailure{hr, 0, L"no method " + std::wstring(method)};

    std::reverse(args.begin(), args.end());  // Invoke takes them last to first
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()),
                      0};
    EXCEPINFO exception{};
    UINT argError = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.put(),
                        &exception, &argError);
    if (SUCCEEDED(hr)) return;

    CallFailure failure{hr, 0, {}};
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        const HRESULT code = exception.scode ? exception.scode : hr;
        failure.number = exception.wCode                              ? exception.wCode
                         : HRESULT_FACILITY(code) == FACILITY_CONTROL ? HRESULT_CODE(code)
                                                                      : 0;
        if (failure.number == 0) failure.hr = code;
        if (exception.bstrDescription)
            failure.description.assign(exception.bstrDescription,
                                       SysStringLen(exception.bstrDescription));
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    throw failure;
}

bool isTrue(const Variant& result) {
    return V_VT(result.get()) == VT_BOOL && V_BOOL(result.get()) == VARIANT_TRUE;
}

}  // namespace plughost
