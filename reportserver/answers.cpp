#include "answers.h"

#include <algorithm>
#include <cstdio>

namespace reportserver {
namespace {

const char* reason(int status) {
    switch (status) {
        case 200: return "OK";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

}  // namespace

std::string padBody(std::string_view body, std::int64_t size) {
    if (size <= static_cast<std::int64_t>(body.size())) return std::string(body);
    constexpr std::size_t kLine = 64;
    const auto fill = static_cast<std::size_t>(size) - body.size();
    std::string out;
    out.reserve(static_cast<std::size_t>(size));
    char number[16];
    for (unsigned n = 1; out.size() + kLine <= fill; ++n) {
        std::snprintf(number, sizeof number, "%08u", n % 100000000u);
        const std::size_t start = out.size();
        out += "filler ";
        out += number;
        out += ' ';
        out.append(kLine - 2 - (out.size() - start), '.');
        out += "\r\n";
    }
    out.append(fill - out.size(), '.');
    out += body;
    return out;
}

std::string responseHead(int status, std::int64_t contentLength, bool keepAlive,
                         std::string_view extraHeaders) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) + "\r\n";
    head += "Server: reportserver\r\nContent-Type: text/plain\r\n";
    if (contentLength >= 0) head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += extraHeaders;
    head += "\r\n";
    return head;
}

Responder::Responder(const Options& options, std::vector<Account> accounts)
    : options_(options), accounts_(std::move(accounts)) {
    if (!options.bodyFile.empty()) {
        fixedBody_ = readFile(options.bodyFile);
        hasFixedBody_ = true;
    }
    for (const auto& file : options.sequence) sequence_.push_back(readFile(file));
}

std::string Responder::reportBody(const Request& request, std::uint64_t n) const {
    if (!sequence_.empty())
        return sequence_[std::min<std::uint64_t>(n, sequence_.size()) - 1];
    if (hasFixedBody_) return fixedBody_;
    if (options_.accountsFile.empty()) return std::string(kSampleReport);
    const std::string query = request.query();
    const auto user = queryParameter(query, "username");
    const auto password = queryParameter(query, "password");
    const auto match = std::find_if(accounts_.begin(), accounts_.end(), [&](const Account& a) {
        return user && password && a.username == *user && a.password == *password;
    });
    return match == accounts_.end() ? std::string(kInvalidLoginBody) : match->body;
}

Answer Responder::answer(const Request& request, bool plainHttp) {
    Answer a;
    if (request.path() != kReportPath) {
        a.body = "not found\r\n";
        a.head = responseHead(404, static_cast<std::int64_t>(a.body.size()), request.keepAlive);
        return a;
    }
    const std::uint64_t n = ++reportRequests_;
    a.delayMs = options_.delayMs;
    if (options_.stall) { a.kind = Answer::Kind::Stall; return a; }
    if (options_.drop) { a.kind = Answer::Kind::Drop; return a; }
    if (!options_.redirect.empty() && !plainHttp) {
        a.body = "moved\r\n";
        a.head = responseHead(302, static_cast<std::int64_t>(a.body.size()), request.keepAlive,
                              "Location: " + options_.redirect + "\r\n");
        return a;
    }
    if (options_.endless) {
        a.kind = Answer::Kind::Endless;
        a.head = responseHead(options_.status, -1, false);
        return a;
    }
    a.body = padBody(reportBody(request, n), options_.bodySize);
    const bool keepAlive = request.keepAlive && options_.dropAfter < 0;
    a.head = responseHead(options_.status, static_cast<std::int64_t>(a.body.size()), keepAlive);
    a.dropAfter = options_.dropAfter;
    a.trickleMs = options_.trickleMs;
    return a;
}

}  // namespace reportserver
