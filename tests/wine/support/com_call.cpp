#include "wintest.h"

#include <cstdio>
#include <numeric>

namespace wintest {
namespace {

VARIANT variant(VARTYPE vt, void* reference) {
    VARIANT v{};
    V_VT(&v) = vt;
    V_BYREF(&v) = reference;
    return v;
}

DISPID dispidOf(IDispatch* object, const wchar_t* name, HRESULT* hr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    *hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return SUCCEEDED(*hr) ? id : DISPID_UNKNOWN;
}

}  // namespace

VARIANT arg(long n) {
    VARIANT v = variant(VT_I4, nullptr);
    V_I4(&v) = n;
    return v;
}
VARIANT arg(const std::wstring& text) {
    return variant(VT_BSTR, SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}
VARIANT arg(IDispatch* object) { return variant(VT_DISPATCH, object); }
VARIANT ref(BSTR* slot) { return variant(VT_BYREF | VT_BSTR, slot); }
VARIANT ref(long* slot) { return variant(VT_BYREF | VT_I4, slot); }
VARIANT ref(VARIANT* slot) { return variant(VT_BYREF | VT_VARIANT, slot); }

CallResult call(IDispatch* object, const wchar_t* method, std::vector<VARIANT> args, bool byName) {
    CallResult r;
    // Positional arguments go last one first; named ones in order, named by position.
    std::vector<VARIANT> passed = byName ? args : std::vector<VARIANT>(args.rbegin(), args.rend());
    std::vector<DISPID> names(byName ? args.size() : 0);
    std::iota(names.begin(), names.end(), 0);
    DISPPARAMS params{passed.data(), names.data(), static_cast<UINT>(passed.size()),
                      static_cast<UINT>(names.size())};
    VARIANT result{};
    EXCEPINFO error{};
    const DISPID id = dispidOf(object, method, &r.hr);
    if (SUCCEEDED(r.hr))
        r.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                              &error, &r.argError);
    if (error.pfnDeferredFillIn) error.pfnDeferredFillIn(&error);
    r.vt = V_VT(&result);
    r.number = r.vt == VT_BOOL ? V_BOOL(&result) : r.vt == VT_I4 ? V_I4(&result) : 0;
    if (r.vt == VT_BSTR && V_BSTR(&result))
        r.text.assign(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
    const HRESULT code = error.scode ? error.scode : r.hr;
    r.errorNumber = error.wCode                                  ? error.wCode
                    : HRESULT_FACILITY(code) == FACILITY_CONTROL ? HRESULT_CODE(code)
                                                                 : 0;
    if (error.bstrSource) r.source = error.bstrSource;
    if (error.bstrDescription) r.description = error.bstrDescription;
    for (BSTR b : {error.bstrSource, error.bstrDescription, error.bstrHelpFile})
        SysFreeString(b);
    VariantClear(&result);
    for (VARIANT& a : args)
        if (V_VT(&a) == VT_BSTR) VariantClear(&a);
    return r;
}

std::wstring hex(HRESULT hr) {
    wchar_t buffer[16];
    swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

}  // namespace wintest
