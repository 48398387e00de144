#pragma once
// The behaviour of class `plugin`: the host protocol, the report methods and
// the statistics tag. One object per host-created COM object; the settings
// form and the platform services are shared by every object on a thread.
#include <cstdint>
#include <string>
#include <string_view>

#include "ports.h"
#include "settings_form.h"
#include "value.h"

namespace tavri {

struct PluginServices {
    SettingsForm& form;
    MessageBoxes& messages;
    ReportSource& reports;
    NumberParser& numbers;
    AnsiCodec& ansi;
    std::string reportUrlPrefix;  // "https://HOST/mydatamonitor/usage.txt?username="
};

class plugin {
public:
    explicit plugin(PluginServices& services) : services_(services) {}

    bool Initialize(std::int32_t nVersion, std::string_view sUserEmail);
    void Uninitialize() {}
    bool GetPublishInfo(std::string& sPluginName, std::int32_t& nCommandCount,
                        std::int32_t& nTagCount);
    void GetPublishCommandInfo(std::int32_t nCommandIdx, std::string& sName, std::string& sValue,
                               std::string& sHelp);
    void GetPublishTagInfo(std::int32_t nTagIdx, std::string& sName, std::string& sValue);
    bool ParseCommand(std::string_view sCommand, std::string& sResult);
    bool ParseTag(std::string_view sTag, std::string& sResult);

    Value usage();
    Value plan_limit();
    Value plan_name();

private:
    // One report call up to the key's removal: credentials from the form,
    // fetch, cut out the field. `result` is left as it was when a step throws.
    void readField(std::string_view key, std::string_view endMarker, Value& result);

    PluginServices& services_;
};

}  // namespace tavri
