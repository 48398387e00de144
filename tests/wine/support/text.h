#pragma once
// Text conversion, and the registry as the tests read and prepare it.
#include <windows.h>

#include <string>

namespace wintest {

std::string narrow(const std::wstring& text);  // UTF-8
std::wstring widen(const std::string& text);
std::wstring readString(HKEY root, const std::wstring& path, const wchar_t* value, bool* found = nullptr);
// The plug-in's stored settings of the current user: "username", "password".
void storeCredentials(const std::string& user, const std::string& password);
std::string storedSetting(const char* key, bool* found = nullptr);
void clearStoredSettings();

}  // namespace wintest
