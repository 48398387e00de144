#pragma once
// The parts of an HTTP/1.x request the stand-in looks at.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reportserver {

struct Request {
    std::string method;
    std::string target;   // as sent: path and query
    std::string version;  // "HTTP/1.1"
    std::string userAgent;
    std::int64_t contentLength = 0;
    bool keepAlive = true;

    std::string path() const;   // target up to '?'
    std::string query() const;  // after the first '?', "" if none
};

// Parses the head (request line and header lines, up to but without the
// blank line). The target is taken between the first and the last blank of
// the request line, so a target with raw blanks stays whole. nullopt when the
// head is not a request.
std::optional<Request> parseRequestHead(std::string_view head);

// %XX becomes the byte; everything else, '+' included, stays as it is.
std::string percentDecode(std::string_view text);

// Value of the first parameter with this name in a query, decoded; nullopt if
// the query has none. Parameters are split at '&', names at the first '='.
std::optional<std::string> queryParameter(std::string_view query, std::string_view name);

}  // namespace reportserver
