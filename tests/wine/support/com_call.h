#pragma once
// Calling automation methods by name, the way scripting clients do:
// GetIDsOfNames, then Invoke with typed (VT_BYREF|VT_BSTR, VT_BYREF|VT_I4)
// or variant (VT_BYREF|VT_VARIANT) by-reference arguments.
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

namespace wintest {

// One argument of a call. By-reference arguments point at the caller's
// storage, which must outlive the call.
class Arg {
public:
    static Arg value(long n);
    static Arg value(const std::wstring& text);  // a BSTR owned by the Arg
    static Arg value(IDispatch* object);         // may be nullptr
    static Arg refBstr(BSTR* slot);              // VT_BYREF|VT_BSTR
    static Arg refLong(long* slot);              // VT_BYREF|VT_I4
    static Arg refVariant(VARIANT* slot);        // VT_BYREF|VT_VARIANT

    const VARIANT& variant() const { return v_; }

private:
    VARIANT v_{};
    std::shared_ptr<OLECHAR> text_;
};

struct CallResult {
    CallResult();
    ~CallResult();
    CallResult(const CallResult&) = delete;
    CallResult& operator=(const CallResult&) = delete;
    CallResult(CallResult&&) noexcept;
    CallResult& operator=(CallResult&&) noexcept;

    HRESULT hr = E_FAIL;
    VARIANT result;
    EXCEPINFO exception;
    UINT argError = 0;

    bool ok() const { return SUCCEEDED(hr); }
    // The automation error number (low word of scode or wCode), 0 if none.
    long errorNumber() const;
    std::wstring description() const;
    std::wstring source() const;
    // Result as Boolean: true only for VT_BOOL VARIANT_TRUE.
    bool isTrue() const;
};

// DISPID of a name, or DISPID_UNKNOWN (hr receives GetIDsOfNames' result).
DISPID dispidOf(IDispatch* object, const wchar_t* name, HRESULT* hr = nullptr);

// Calls a method by name with the arguments in natural (left-to-right) order.
CallResult call(IDispatch* object, const wchar_t* method, const std::vector<Arg>& args = {});
// Same, with a known DISPID.
CallResult call(IDispatch* object, DISPID member, const std::vector<Arg>& args = {});

// An owned BSTR whose address is passed as an in/out argument.
class Bstr {
public:
    Bstr() = default;  // the null BSTR
    explicit Bstr(const std::wstring& text);
    ~Bstr();
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* slot() { return &b_; }
    BSTR get() const { return b_; }
    std::wstring text() const;

private:
    BSTR b_ = nullptr;
};

// A BSTR holding text (caller frees), and a readable copy of one.
BSTR bstr(const std::wstring& text);
std::wstring text(BSTR b);

// Text of an HRESULT for assertion messages, e.g. "0x800A0005".
std::wstring hex(HRESULT hr);

}  // namespace wintest
