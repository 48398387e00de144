#include "request_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace reportserver {

std::string logEscape(std::string_view bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c > 0x20 && c < 0x7F && c != '%') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string logLine(const Request& request, std::string_view scheme, std::string_view time) {
    const std::string query = request.query();
    std::string line = logEscape(time) + '\t';
    line += logEscape(request.method) + '\t';
    line += logEscape(request.path()) + '\t';
    line += logEscape(queryParameter(query, "username").value_or("")) + '\t';
    line += logEscape(queryParameter(query, "password").value_or("")) + '\t';
    line += logEscape(request.userAgent) + '\t';
    line += logEscape(scheme) + '\n';
    return line;
}

std::string utcTimestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char buf[40];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    char out[48];
    std::snprintf(out, sizeof out, "%s.%03dZ", buf, static_cast<int>(ms));
    return out;
}

RequestLog::RequestLog(const std::string& file) {
    if (file.empty()) return;
    fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) throw std::runtime_error("cannot open log " + file + ": " + std::strerror(errno));
}

RequestLog::~RequestLog() {
    if (fd_ >= 0) ::close(fd_);
}

void RequestLog::write(const Request& request, std::string_view scheme) {
    if (fd_ < 0) return;
    const std::string line = logLine(request, scheme, utcTimestamp());
    std::lock_guard lock(mutex_);
    // One write per line: readers never see half a line.
    if (::write(fd_, line.data(), line.size()) < 0) std::perror("reportserver: log");
}

}  // namespace reportserver
