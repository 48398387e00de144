#include "plugin.h"

namespace tavri {

bool plugin::Initialize(std::int32_t, std::string_view) { return true; }
bool plugin::GetPublishInfo(std::string&, std::int32_t&, std::int32_t&) { return true; }
void plugin::GetPublishCommandInfo(std::int32_t, std::string&, std::string&, std::string&) {}
void plugin::GetPublishTagInfo(std::int32_t, std::string&, std::string&) {}
bool plugin::ParseCommand(std::string_view, std::string&) { return false; }
bool plugin::ParseTag(std::string_view, std::string&) { return false; }
Value plugin::usage() { return {}; }
Value plugin::plan_limit() { return {}; }
Value plugin::plan_name() { return {}; }

std::string reportUrlPrefix(std::string_view host) {
    return "https://" + std::string(host) + "/mydatamonitor/usage.txt?username=";
}

}  // namespace tavri
