// The report methods of class plugin. Each fetches the whole report afresh
// with the credentials held by the settings form and cuts its one field out.
#include <string>

#include "automation_error.h"
#include "plugin.h"
#include "report_text.h"
#include "report_url.h"

namespace tavri {
namespace {

constexpr std::string_view kUsageKey = "usage=";
constexpr std::string_view kPlanLimitKey = "plan_limit=";
constexpr std::string_view kPlanNameKey = "plan_name=";
constexpr std::string_view kFigureEnd = "B";
constexpr std::string_view kPlanNameEnd = "Upgrade";
constexpr std::string_view kCredentialsRejected = "username or password incorrect";

// Megabyte figures read "1234MB": every "M" goes before the conversion.
Value toMegabytes(const Value& field, NumberParser& numbers) {
    return Value::integer(numbers.parseInt32(report::replaceAll(field.asText(), "M", "")));
}

}  // namespace

void plugin::readField(std::string_view key, std::string_view endMarker, Value& result) {
    SettingsWindow& form = services_.form.window();
    const std::string accountName = form.accountName();
    const std::string password = form.password();
    const std::string url = reportUrl(services_.reportUrlPrefix, services_.ansi.toAnsi(accountName),
                                      services_.ansi.toAnsi(password));
    const std::string body = services_.reports.getSource(url);
    result = Value::text(report::extractField(body, key, endMarker));
}

Value plugin::usage() {
    Value result;
    readField(kUsageKey, kFigureEnd, result);
    result = toMegabytes(result, services_.numbers);
    return result;
}

Value plugin::plan_name() {
    Value result;
    readField(kPlanNameKey, kPlanNameEnd, result);
    result = Value::text(result.asText() + std::string(kPlanNameEnd));
    return result;
}

Value plugin::plan_limit() {
    Value result;
    try {
        readField(kPlanLimitKey, kFigureEnd, result);
        result = toMegabytes(result, services_.numbers);
    } catch (...) {
        // Any failure here means the report did not come back as expected,
        // most likely because of the credentials: let the user fix them.
        // Errors of this handler itself go to the caller.
        services_.messages.show(kCredentialsRejected, kAppTitle, MessageIcon::Warning);
        services_.form.LoadSettings();
        services_.form.ShowSettings();
    }
    return result;
}

}  // namespace tavri
