#pragma once
// Calls into an automation object by name, exactly as a scripting client
// does: GetIDsOfNames, then Invoke with the arguments as given (by-value or
// typed by-reference variants).
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "owners.h"

namespace plughost {

// A call that failed: the HRESULT and, when the object raised an automation
// error, its number and description.
struct CallFailure {
    HRESULT hr = E_FAIL;
    long number = 0;
    std::wstring description;

    std::wstring text() const;
};

// Storage for an in/out string argument; starts as the given text.
class BstrSlot {
public:
    explicit BstrSlot(const std::wstring& text = L"");
    ~BstrSlot();
    BstrSlot(const BstrSlot&) = delete;
    BstrSlot& operator=(const BstrSlot&) = delete;
    VARIANTARG byRef();  // VT_BYREF|VT_BSTR into this slot
    std::wstring text() const;

private:
    BSTR value_;
};

VARIANTARG longByRef(long* slot);
VARIANTARG longValue(long n);
VARIANTARG dispatchValue(IDispatch* object);
// A by-value string; the BSTR is owned by `keep`.
VARIANTARG stringValue(const std::wstring& text, Bstr& keep);

// Calls `method` with the arguments in natural order and stores its result
// in `result`; throws CallFailure.
void callByName(IDispatch* object, const wchar_t* method, std::vector<VARIANTARG> args,
                Variant& result);

// True for a VT_BOOL result that is True.
bool isTrue(const Variant& result);

}  // namespace plughost
