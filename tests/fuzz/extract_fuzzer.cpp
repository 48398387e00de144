// libFuzzer target: the report extraction against a plain model built on
// std::string::find, under ASan and UBSan.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "automation_error.h"
#include "report_text.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// The cut starts at the key (at the start for an empty key, which fails only
// on an empty report) and ends before the marker; an empty marker cuts nothing.
void checkExtraction(std::string_view report, std::string_view key, std::string_view marker) {
    const auto from =
        key.empty() ? (report.empty() ? std::string_view::npos : 0) : report.find(key);
    const auto to =
        from == std::string_view::npos || marker.empty() ? from : report.find(marker, from);
    try {
        const std::string cut = tavri::report::cutField(report, key, marker);
        check(to != std::string_view::npos &&
              cut == report.substr(from, marker.empty() ? 0 : to - from));
        std::string removed = cut;
        if (!key.empty())
            for (auto at = removed.find(key); at != std::string::npos; at = removed.find(key, at))
                removed.erase(at, key.size());
        check(tavri::report::extractField(report, key, marker) == removed);
    } catch (const tavri::AutomationError& e) {
        check(to == std::string_view::npos && e.number() == tavri::error::kInvalidCall);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // "key\nmarker\nreport", or a report read for the three real fields.
    const auto a = input.find('\n'), b = a == std::string_view::npos ? a : input.find('\n', a + 1);
    if (b != std::string_view::npos)
        checkExtraction(input.substr(b + 1), input.substr(0, a), input.substr(a + 1, b - a - 1));
    for (const auto& [key, marker] :
         {std::pair{"usage=", "B"}, {"plan_limit=", "B"}, {"plan_name=", "Upgrade"}})
        checkExtraction(input, key, marker);
    return 0;
}
