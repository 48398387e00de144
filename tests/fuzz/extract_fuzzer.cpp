// libFuzzer target for the report extraction and the URL escaping. Every
// result is checked against a plain reference built on std::string::find.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "automation_error.h"
#include "report_text.h"
#include "report_url.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

struct Field {
    std::string_view key;
    std::string_view marker;
};
constexpr Field kFields[] = {{"usage=", "B"}, {"plan_limit=", "B"}, {"plan_name=", "Upgrade"}};

// The cut the extraction must give; false when it must fail.
bool referenceCut(std::string_view report, std::string_view key, std::string_view marker,
                  std::string& cut) {
    const auto p = report.find(key);
    if (key.empty() ? report.empty() : p == std::string_view::npos) return false;
    const std::size_t from = key.empty() ? 0 : p;
    if (marker.empty()) {
        cut.clear();
        return true;
    }
    const auto q = report.find(marker, from);
    if (q == std::string_view::npos) return false;
    cut = std::string(report.substr(from, q - from));
    return true;
}

std::string referenceRemove(std::string text, std::string_view find) {
    if (find.empty()) return text;
    for (auto at = text.find(find); at != std::string::npos; at = text.find(find, at)) {
        text.erase(at, find.size());
    }
    return text;
}

void checkExtraction(std::string_view report, std::string_view key, std::string_view marker) {
    std::string expected;
    const bool succeeds = referenceCut(report, key, marker, expected);
    try {
        const std::string cut = tavri::report::cutField(report, key, marker);
        check(succeeds);
        check(cut == expected);
        const std::string extracted = tavri::report::extractField(report, key, marker);
        check(extracted == referenceRemove(cut, key));
    } catch (const tavri::AutomationError& e) {
        check(e.number() == tavri::error::kInvalidCall);
        check(!succeeds);
    }
}

void checkPrimitives(std::string_view text, std::string_view find, std::int64_t start,
                     std::int64_t length) {
    try {
        const std::int64_t at = tavri::report::inStr(start, text, find);
        check(start >= 1);
        check(at == 0 || (at >= start && at <= static_cast<std::int64_t>(text.size()) + 1));
        if (at > 0 && !find.empty()) check(text.substr(at - 1, find.size()) == find);
    } catch (const tavri::AutomationError& e) {
        check(e.number() == tavri::error::kInvalidCall && start < 1);
    }
    try {
        const std::string part = tavri::report::mid(text, start, length);
        check(start >= 1 && length >= 0);
        check(part.size() <= static_cast<std::size_t>(length));
        if (!part.empty()) check(text.substr(start - 1, part.size()) == part);
    } catch (const tavri::AutomationError& e) {
        check(e.number() == tavri::error::kInvalidCall && (start < 1 || length < 0));
    }
    check(tavri::report::replaceAll(text, find, "") == referenceRemove(std::string(text), find));
}

// Decoding the escaped text gives the bytes back, and only safe bytes remain.
void checkEscaping(std::string_view bytes) {
    const std::string encoded = tavri::percentEncode(bytes);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        check(c != '&' && c != '=' && c != '+' && c != '#' && c != ' ' && c != '?');
        if (c == '%') {
            check(i + 2 < encoded.size());
            decoded += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += c;
        }
    }
    check(decoded == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    if (mode % 4 < 3) {
        const Field& field = kFields[mode % 4];
        checkExtraction(rest, field.key, field.marker);
    } else {
        // "key\nmarker\nreport": arbitrary keys and markers, empty ones included.
        const auto a = rest.find('\n');
        const auto b = a == std::string_view::npos ? a : rest.find('\n', a + 1);
        if (b != std::string_view::npos) {
            checkExtraction(rest.substr(b + 1), rest.substr(0, a), rest.substr(a + 1, b - a - 1));
        }
    }
    const std::int64_t start = static_cast<std::int8_t>(mode) / 4;
    const std::int64_t length = static_cast<std::int8_t>(size > 1 ? data[1] : 0);
    const std::string_view find = rest.substr(0, mode % 5);
    checkPrimitives(rest, find, start, length);
    checkEscaping(rest);
    return 0;
}
