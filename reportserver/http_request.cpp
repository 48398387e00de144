#include "http_request.h"

#include <algorithm>
#include <cctype>

namespace reportserver {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string Request::path() const { return target.substr(0, target.find('?')); }

std::string Request::query() const {
    const auto q = target.find('?');
    return q == std::string::npos ? std::string() : target.substr(q + 1);
}

std::optional<Request> parseRequestHead(std::string_view head) {
    auto lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const auto first = requestLine.find(' ');
    const auto last = requestLine.rfind(' ');
    if (first == std::string_view::npos || last == first) return std::nullopt;

    Request r;
    r.method = requestLine.substr(0, first);
    r.target = requestLine.substr(first + 1, last - first - 1);
    r.version = requestLine.substr(last + 1);
    if (r.version.rfind("HTTP/1.", 0) != 0 || r.method.empty() || r.target.empty())
        return std::nullopt;
    r.keepAlive = r.version != "HTTP/1.0";

    while (lineEnd != std::string_view::npos) {
        const auto start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line =
            head.substr(start, lineEnd == std::string_view::npos ? lineEnd : lineEnd - start);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string name = lower(trim(line.substr(0, colon)));
        const std::string_view value = trim(line.substr(colon + 1));
        if (name == "user-agent") {
            r.userAgent = value;
        } else if (name == "content-length") {
            if (value.empty() || value.size() > 15 ||
                !std::all_of(value.begin(), value.end(),
                             [](char c) { return c >= '0' && c <= '9'; }))
                return std::nullopt;
            r.contentLength = std::stoll(std::string(value));
        } else if (name == "connection") {
            const std::string v = lower(value);
            if (v == "close")
                r.keepAlive = false;
            else if (v == "keep-alive")
                r.keepAlive = true;
        }
    }
    return r;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<std::string> queryParameter(std::string_view query, std::string_view name) {
    std::string_view::size_type start = 0;
    while (start <= query.size()) {
        auto amp = query.find('&', start);
        if (amp == std::string_view::npos) amp = query.size();
        const std::string_view pair = query.substr(start, amp - start);
        const auto eq = pair.find('=');
        if (percentDecode(pair.substr(0, eq)) == name)
            return eq == std::string_view::npos ? std::string()
                                                : percentDecode(pair.substr(eq + 1));
        start = amp + 1;
    }
    return std::nullopt;
}

}  // namespace reportserver
