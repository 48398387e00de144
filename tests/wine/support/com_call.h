#pragma once
// Calling automation methods by name, the way scripting clients do:
// GetIDsOfNames, then Invoke with by-value arguments and with typed
// (VT_BYREF|VT_BSTR, VT_BYREF|VT_I4) or variant (VT_BYREF|VT_VARIANT)
// by-reference ones.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace wintest {

// Arguments, in natural (left-to-right) order. A text argument's BSTR is
// freed by call(); by-reference ones point at the caller's storage.
VARIANT arg(long n);
VARIANT arg(const std::wstring& text);
VARIANT arg(IDispatch* object);  // may be nullptr
VARIANT ref(BSTR* slot);
VARIANT ref(long* slot);
VARIANT ref(VARIANT* slot);

struct CallResult {
    HRESULT hr = E_FAIL;
    UINT argError = 0;
    VARTYPE vt = VT_EMPTY;  // the result's type, and its value:
    long number = 0;        // VT_I4 or VT_BOOL
    std::wstring text;      // VT_BSTR
    long errorNumber = 0;   // the automation error number of a failed call
    std::wstring source, description;
    bool ok() const { return SUCCEEDED(hr); }
    bool isTrue() const { return vt == VT_BOOL && number == VARIANT_TRUE; }
};

CallResult call(IDispatch* object, const wchar_t* method, std::vector<VARIANT> args = {});
// DISPID of a name, or DISPID_UNKNOWN; hr receives GetIDsOfNames' answer.
DISPID dispidOf(IDispatch* object, const wchar_t* name, HRESULT* hr);

// An owned BSTR whose address is passed as a typed by-reference argument.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* slot() { return &b_; }
    std::wstring text() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : L""; }

private:
    BSTR b_;
};

std::wstring hex(HRESULT hr);  // "0x800A0005", for failure messages

}  // namespace wintest
