#include "statistics_text.h"

namespace tavri {
namespace {

std::string label(std::string_view words) { return "\x02" + std::string(words) + "\x0F "; }

}  // namespace

std::string statisticsText(const Value& planName, const Value& amountUsed, const Value& planLimit,
                           std::string_view amountLeft) {
    static constexpr std::string_view kLineBreak = "\r\n";
    std::string text;
    text += label("Plan Name:") + planName.toString();
    text += kLineBreak;
    text += label("Amount Used:") + amountUsed.toString() + "MB";
    text += kLineBreak;
    text += label("Plan Limit:") + planLimit.toString() + "MB";
    text += kLineBreak;
    text += label("Amount Left:") + std::string(amountLeft) + " MB";
    return text;
}

}  // namespace tavri
