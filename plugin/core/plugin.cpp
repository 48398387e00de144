// Class plugin: the host protocol and the statistics tag.
#include "plugin.h"

#include <iterator>

#include "ascii.h"
#include "statistics_text.h"

namespace tavri {
namespace {

constexpr std::string_view kPluginName = "Tavri";
constexpr std::string_view kTag = "(!XTAVRI)";
constexpr std::string_view kAboutCommand = "/xtavriabout";
constexpr std::string_view kSettingsCommand = "/xtavrisett";

struct Publication {
    std::string_view name;
    std::string_view value;
};
constexpr Publication kCommands[] = {{"Settings", "xtavrisett"}, {"About", "xtavriabout"}};
constexpr Publication kTags[] = {{"Show Stats", kTag}};

template <std::size_t N>
void publish(const Publication (&table)[N], std::int32_t oneBasedIndex, std::string& sName,
             std::string& sValue) {
    if (oneBasedIndex < 1 || oneBasedIndex > static_cast<std::int32_t>(N)) return;
    sName = table[oneBasedIndex - 1].name;
    sValue = table[oneBasedIndex - 1].value;
}

std::string aboutText() {
    return std::string("Tavri Plugin by the Tavri team - ") + kMakerSiteUrl +
           "\r\nThanks to our early testers for their patience and their reports.";
}

}  // namespace

bool plugin::Initialize(std::int32_t, std::string_view) { return true; }

bool plugin::GetPublishInfo(std::string& sPluginName, std::int32_t& nCommandCount,
                            std::int32_t& nTagCount) {
    sPluginName = kPluginName;
    nCommandCount = static_cast<std::int32_t>(std::size(kCommands));
    nTagCount = static_cast<std::int32_t>(std::size(kTags));
    return true;
}

void plugin::GetPublishCommandInfo(std::int32_t nCommandIdx, std::string& sName,
                                   std::string& sValue, std::string&) {
    publish(kCommands, nCommandIdx, sName, sValue);
}

void plugin::GetPublishTagInfo(std::int32_t nTagIdx, std::string& sName, std::string& sValue) {
    publish(kTags, nTagIdx, sName, sValue);
}

bool plugin::ParseCommand(std::string_view sCommand, std::string& sResult) {
    if (equalsIgnoringAsciiCase(sCommand, kAboutCommand)) {
        services_.messages.show(aboutText(), kAppTitle, MessageIcon::Information);
    } else if (equalsIgnoringAsciiCase(sCommand, kSettingsCommand)) {
        services_.form.LoadSettings();
        services_.form.ShowSettings();
    } else {
        return false;
    }
    sResult.clear();
    return true;
}

bool plugin::ParseTag(std::string_view sTag, std::string& sResult) {
    if (!equalsIgnoringAsciiCase(sTag, kTag)) return false;
    services_.form.LoadSettings();

    const Value limit = plan_limit();
    const Value used = usage();
    // A local, not a member: an expansion of this object nested in one of the
    // fetches below (from a message dispatched meanwhile) has its own.
    const std::string amountLeft = subtract(limit, used, services_.numbers).toString();

    const Value planName = plan_name();
    const Value amountUsed = usage();
    const Value planLimit = plan_limit();
    sResult = statisticsText(planName, amountUsed, planLimit, amountLeft);
    return true;
}

}  // namespace tavri
