#include "var_number_parser.h"

#include <windows.h>
#include <oleauto.h>

#include <new>

#include "automation_error.h"
#include "text.h"

namespace tavri::win {

std::int32_t VarNumberParser::parseInt32(std::string_view text) {
    const std::wstring wide = toWide(text);
    // The conversion stops at a NUL; a number with one inside is no number.
    if (wide.find(L'\0') != std::wstring::npos) throw error::typeMismatch();
    LONG value = 0;
    const HRESULT hr =
        VarI4FromStr(const_cast<OLECHAR*>(wide.c_str()), LOCALE_USER_DEFAULT, 0, &value);
    if (SUCCEEDED(hr)) return value;
    if (hr == DISP_E_OVERFLOW) throw error::overflow();
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    throw error::typeMismatch();
}

}  // namespace tavri::win
