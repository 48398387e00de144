#include "com_test_support.h"

#include "win_ui.h"

namespace comtest {

GUID guid(const wchar_t* text) {
    GUID g{};
    CLSIDFromString(text, &g);
    return g;
}

std::wstring tavriDll() { return wintest::besideMe(L"Tavri.dll"); }

int regsvr32(bool unregister) {
    return wintest::runProcess(std::wstring(L"regsvr32 /s ") + (unregister ? L"/u " : L"") + L"\"" +
                               tavriDll() + L"\"");
}

tavri::win::ComPtr<IDispatch> createByProgId() {
    tavri::win::ComPtr<IDispatch> object;
    CLSID clsid{};
    if (SUCCEEDED(CLSIDFromProgID(kProgId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.putVoid());
    return object;
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace comtest
