#pragma once
// UTF-8 (the core's text) <-> UTF-16 (Win32 and COM) conversions.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace tavri::win {

inline std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

inline std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
    return utf8;
}

// A BSTR may be null (the empty string) and may hold embedded NULs.
inline std::string bstrToUtf8(BSTR b) {
    return b ? toUtf8(std::wstring_view(b, SysStringLen(b))) : std::string();
}

// New BSTR (caller owns it); nullptr only when out of memory.
inline BSTR utf8ToBstr(std::string_view utf8) {
    const std::wstring wide = toWide(utf8);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace tavri::win
