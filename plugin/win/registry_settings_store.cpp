#include "registry_settings_store.h"

#include "automation_error.h"
#include "handles.h"
#include "text.h"
#include "win32_error.h"

namespace tavri::win {

RegistrySettingsStore::RegistrySettingsStore(std::wstring appName, std::wstring section)
    : keyPath_(L"Software\\VB and VBA Program Settings\\" + appName + L"\\" + section) {}

std::string RegistrySettingsStore::read(std::string_view key) {
    UniqueHKey section;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath_.c_str(), 0, KEY_QUERY_VALUE, section.put()) !=
        ERROR_SUCCESS)
        return {};
    const std::wstring name = toWide(key);
    // The value may grow between the size query and the read: retry then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, bytes = 0;
        if (RegQueryValueExW(section.get(), name.c_str(), nullptr, &type, nullptr, &bytes) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return {};
        std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LSTATUS rc = RegQueryValueExW(section.get(), name.c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS || type != REG_SZ) return {};
        data.resize(got / sizeof(wchar_t));
        while (!data.empty() && data.back() == L'\0')
            data.pop_back();
        return toUtf8(data);
    }
    return {};
}

void RegistrySettingsStore::write(std::string_view key, std::string_view value) {
    UniqueHKey section;
    LSTATUS rc = RegCreateKeyExW(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                 nullptr, section.put(), nullptr);
    if (rc == ERROR_SUCCESS) {
        const std::wstring name = toWide(key);
        const std::wstring data = toWide(value);
        rc = RegSetValueExW(section.get(), name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    if (rc != ERROR_SUCCESS)
        throw AutomationError(error::kInvalidCall, "The setting \"" + std::string(key) +
                                                       "\" could not be saved: " +
                                                       win32ErrorText(static_cast<DWORD>(rc)));
}

}  // namespace tavri::win
