#pragma once
// Shared pieces of the COM tests: where Tavri.dll is, its identifiers as the
// outside world knows them, registration through regsvr32, and a plug-in
// object created the way the host creates it.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>

#include "handles.h"

namespace comtest {

inline constexpr const wchar_t* kProgId = L"TavriPlugin.plugin";
inline constexpr const wchar_t* kClsid = L"{7B4133D8-196A-4826-99B6-F8A0BC5A95F5}";
inline constexpr const wchar_t* kIid = L"{18BE9D04-6059-41A1-A03E-3F9952C850A8}";
inline constexpr const wchar_t* kLibid = L"{2E7AD169-9528-40B8-AE1C-72D6C464036E}";
// The standard automation proxy, registered for dual interfaces.
inline constexpr const wchar_t* kAutomationProxy = L"{00020424-0000-0000-C000-000000000046}";

GUID guid(const wchar_t* text);
std::wstring tavriDll();  // beside the test program

// regsvr32 /s [/u] on Tavri.dll; returns its exit code.
int regsvr32(bool unregister = false);

// A new plug-in object through CoCreateInstance, by ProgID.
tavri::win::ComPtr<IDispatch> createByProgId();

// Case-insensitive equality of two paths or names.
bool sameText(const std::wstring& a, const std::wstring& b);

}  // namespace comtest
