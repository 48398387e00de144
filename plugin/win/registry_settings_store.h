#pragma once
// The per-user settings store: string values under
// HKCU\Software\VB and VBA Program Settings\<application>\Data.
#include <string>

#include "ports.h"

namespace tavri::win {

class RegistrySettingsStore : public SettingsStore {
public:
    explicit RegistrySettingsStore(std::wstring appName = L"Tavri Plugin",
                                   std::wstring section = L"Data");
    std::string read(std::string_view key) override;
    void write(std::string_view key, std::string_view value) override;

private:
    std::wstring keyPath_;  // HKCU-relative path of the section's key
};

}  // namespace tavri::win
