#include "tag_expander.h"

namespace bench {

bool TagExpander::open() {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"TavriPlugin.plugin", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                plugin_.putVoid())))
        return false;
    LPOLESTR name = const_cast<LPOLESTR>(L"ParseTag");
    return SUCCEEDED(plugin_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &parseTag_));
}

bool TagExpander::expand(std::wstring& text) {
    tavri::win::UniqueBstr tag(SysAllocString(L"(!XTAVRI)"));
    BSTR result = SysAllocString(L"");
    VARIANTARG args[3];  // right to left: sResult, oConversationWnd, sTag
    V_VT(&args[0]) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&args[0]) = &result;
    V_VT(&args[1]) = VT_DISPATCH;
    V_DISPATCH(&args[1]) = nullptr;
    V_VT(&args[2]) = VT_BSTR;
    V_BSTR(&args[2]) = tag.get();
    DISPPARAMS params{args, nullptr, 3, 0};
    tavri::win::UniqueVariant handled;
    EXCEPINFO failure{};
    const HRESULT hr = plugin_->Invoke(parseTag_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                       &params, handled.put(), &failure, nullptr);
    tavri::win::UniqueBstr owned(result);
    SysFreeString(failure.bstrSource);
    SysFreeString(failure.bstrDescription);
    SysFreeString(failure.bstrHelpFile);
    text.assign(owned.get() ? owned.get() : L"", owned.get() ? SysStringLen(owned.get()) : 0);
    return SUCCEEDED(hr) && V_VT(handled.get()) == VT_BOOL && V_BOOL(handled.get()) == VARIANT_TRUE;
}

}  // namespace bench
