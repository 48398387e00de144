#include "report_url.h"

namespace tavri {
namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

}  // namespace

std::string percentEncode(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string reportUrl(std::string_view prefix, std::string_view ansiAccountName,
                      std::string_view ansiPassword) {
    return std::string(prefix) + percentEncode(ansiAccountName) +
           "&password=" + percentEncode(ansiPassword);
}

std::string reportUrlPrefix(std::string_view providerHost) {
    return "https://" + std::string(providerHost) + "/mydatamonitor/usage.txt?username=";
}

}  // namespace tavri
