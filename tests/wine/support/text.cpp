#include "text.h"

#include "handles.h"

namespace wintest {
namespace {
constexpr const wchar_t* kSettings = L"Software\\VB and VBA Program Settings\\Tavri Plugin";
const std::wstring kSettingsData = std::wstring(kSettings) + L"\\Data";
}  // namespace

std::string narrow(const std::wstring& text) {
    std::string out(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()), nullptr, nullptr);
    return out;
}

std::wstring widen(const std::string& text) {
    std::wstring out(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()));
    return out;
}

std::wstring readString(HKEY root, const std::wstring& path, const wchar_t* value, bool* found) {
    DWORD size = 0;
    LSTATUS rc = RegGetValueW(root, path.c_str(), value, RRF_RT_REG_SZ, nullptr, nullptr, &size);
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (rc == ERROR_SUCCESS) rc = RegGetValueW(root, path.c_str(), value, RRF_RT_REG_SZ, nullptr, data.data(), &size);
    if (found) *found = rc == ERROR_SUCCESS;
    return rc == ERROR_SUCCESS ? data.c_str() : L"";
}

void storeCredentials(const std::string& user, const std::string& password) {
    for (const auto& [name, value] : {std::pair{L"username", user}, std::pair{L"password", password}}) {
        const std::wstring data = widen(value);
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsData.c_str(), name, REG_SZ, data.c_str(),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
}

std::string storedSetting(const char* key, bool* found) {
    return narrow(readString(HKEY_CURRENT_USER, kSettingsData, widen(key).c_str(), found));
}

void clearStoredSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, kSettings); }

}  // namespace wintest
