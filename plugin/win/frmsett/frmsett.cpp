// Placeholder until the real window lands: holds the fields, cannot show.
#include "frmsett.h"

#include <atomic>

#include "automation_error.h"

namespace tavri::win {
namespace {

std::atomic<long> g_live{0};

class PlaceholderWindow : public SettingsWindow {
public:
    PlaceholderWindow() { ++g_live; }
    ~PlaceholderWindow() override { --g_live; }
    std::string accountName() const override { return account_; }
    std::string password() const override { return password_; }
    void setAccountName(std::string_view t) override { account_ = t; }
    void setPassword(std::string_view t) override { password_ = t; }
    void showModal() override { throw AutomationError(445, "Object doesn't support this action"); }
    void close() override {}

private:
    std::string account_, password_;
};

}  // namespace

std::unique_ptr<SettingsWindow> FrmsettFactory::create(SettingsWindowEvents&) {
    return std::make_unique<PlaceholderWindow>();
}

long liveSettingsWindows() { return g_live; }

}  // namespace tavri::win
