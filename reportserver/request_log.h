#pragma once
// The request log: one line per request, appended as it arrives, so tests can
// count and order fetches and see exactly what reached the server.
//
//   TIME<TAB>METHOD<TAB>PATH<TAB>USERNAME<TAB>PASSWORD<TAB>USER-AGENT<TAB>SCHEME
//
// TIME is UTC, "2026-01-31T12:34:56.789Z". USERNAME and PASSWORD are the
// decoded query values. Every field is written with logEscape.
#include <mutex>
#include <string>
#include <string_view>

#include "http_request.h"

namespace reportserver {

// Bytes 0x21..0x7E other than '%' as they are; every other byte (blank,
// tab, control, '%', 0x7F and above) as %XX with upper-case hex digits.
std::string logEscape(std::string_view bytes);

std::string logLine(const Request& request, std::string_view scheme, std::string_view time);

class RequestLog {
public:
    explicit RequestLog(const std::string& file);  // "" logs nothing
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;
    void write(const Request& request, std::string_view scheme);

private:
    int fd_ = -1;
    std::mutex mutex_;
};

std::string utcTimestamp();

}  // namespace reportserver
