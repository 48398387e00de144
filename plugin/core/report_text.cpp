#include "report_text.h"

#include <algorithm>

#include "automation_error.h"

namespace tavri::report {

std::int64_t inStr(std::int64_t start, std::string_view text, std::string_view find) {
    if (start < 1) throw error::invalidCall();
    const auto length = static_cast<std::int64_t>(text.size());
    if (length == 0 || start - 1 > length) return 0;
    if (find.empty()) return start;
    const auto at = text.find(find, static_cast<std::size_t>(start - 1));
    return at == std::string_view::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

std::string mid(std::string_view text, std::int64_t start, std::int64_t length) {
    if (start < 1 || length < 0) throw error::invalidCall();
    const auto size = static_cast<std::int64_t>(text.size());
    if (start > size) return {};
    return std::string(text.substr(static_cast<std::size_t>(start - 1),
                                   static_cast<std::size_t>(std::min(length, size - start + 1))));
}

std::string replaceAll(std::string_view text, std::string_view find, std::string_view with) {
    if (find.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find(find); at != std::string_view::npos; at = text.find(find, from)) {
        out.append(text.substr(from, at - from)).append(with);
        from = at + find.size();
    }
    out.append(text.substr(from));
    return out;
}

std::string cutField(std::string_view report, std::string_view key, std::string_view endMarker) {
    const std::int64_t p = inStr(1, report, key);
    const std::int64_t q = inStr(p, report, endMarker);  // p == 0 (no key) is error 5
    return mid(report, p, q - p);                        // q == 0 (no marker) is error 5
}

std::string extractField(std::string_view report, std::string_view key,
                         std::string_view endMarker) {
    return replaceAll(cutField(report, key, endMarker), key, "");
}

}  // namespace tavri::report
