#include "answers.h"

#include <algorithm>
#include <cstdio>

namespace reportserver {
namespace {

const char* reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
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
    : options_(options), accounts_(std::move(accounts)), served_(accounts_.size(), 0) {
    if (!options.bodyFile.empty()) {
        fixedBody_ = readFile(options.bodyFile);
        hasFixedBody_ = true;
    }
}

void Responder::setPorts(int https, int http) {
    httpsPort_ = std::to_string(https);
    httpPort_ = std::to_string(http);
}

std::string expandPorts(std::string text, const std::string& https, const std::string& http) {
    for (const auto& [name, port] : {std::pair{std::string("{https}"), https}, {"{http}", http}})
        for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at))
            text.replace(at, name.size(), port);
    return text;
}

Answer Responder::answer(const Request& request, bool plainHttp) {
    Answer a;
    if (request.path() != kReportPath) {
        a.body = "not found\r\n";
        a.head = responseHead(404, static_cast<std::int64_t>(a.body.size()), request.keepAlive);
        return a;
    }
    const std::string query = request.query();
    const auto user = queryParameter(query, "username");
    const auto password = queryParameter(query, "password");
    const auto match = std::find_if(accounts_.begin(), accounts_.end(), [&](const Account& acc) {
        return user && password && acc.username == *user && acc.password == *password;
    });
    const Behaviour& how = match == accounts_.end() ? options_.behaviour : match->behaviour;
    std::string body;
    if (match != accounts_.end()) {
        std::lock_guard lock(mutex_);
        std::size_t& n = served_[static_cast<std::size_t>(match - accounts_.begin())];
        body = match->bodies[std::min(n++, match->bodies.size() - 1)];
    } else if (hasFixedBody_) {
        body = fixedBody_;
    } else {
        body = options_.accountsFile.empty() ? kSampleReport : kInvalidLoginBody;
    }

    a.delayMs = how.delayMs;
    if (how.stall) {
        a.kind = Answer::Kind::Stall;
        return a;
    }
    if (how.drop) {
        a.kind = Answer::Kind::Drop;
        return a;
    }
    if (!how.redirect.empty() && !plainHttp) {
        a.body = "moved\r\n";
        a.head =
            responseHead(302, static_cast<std::int64_t>(a.body.size()), request.keepAlive,
                         "Location: " + expandPorts(how.redirect, httpsPort_, httpPort_) + "\r\n");
        return a;
    }
    if (how.endless) {
        a.kind = Answer::Kind::Endless;
        a.head = responseHead(how.status, -1, false);
        return a;
    }
    a.body = padBody(body, how.bodySize);
    const bool keepAlive = request.keepAlive && how.dropAfter < 0;
    a.head = responseHead(how.status, static_cast<std::int64_t>(a.body.size()), keepAlive);
    a.dropAfter = how.dropAfter;
    a.trickleMs = how.trickleMs;
    return a;
}

}  // namespace reportserver
