#pragma once
// What the stand-in answers to each request, decided from the switches, the
// accounts and how many report requests each account made before.
#include <mutex>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "accounts.h"
#include "http_request.h"
#include "options.h"

namespace reportserver {

inline constexpr std::string_view kReportPath = "/mydatamonitor/usage.txt";
inline constexpr std::string_view kInvalidLoginBody = "error=invalid login\r\n";
inline constexpr std::string_view kSampleReport =
    "account=sample\r\nplan_name=Basic 10GB Upgrade\r\nusage=1234MB\r\nplan_limit=3000MB\r\n";

struct Answer {
    enum class Kind { Respond, Stall, Drop, Endless };
    Kind kind = Kind::Respond;
    std::string head;  // status line and header lines, blank line included
    std::string body;
    std::int64_t dropAfter = -1;  // close after this many body bytes
    int delayMs = 0;
    int trickleMs = 0;
};

// Filler in front of body so that the whole is size bytes (body unchanged
// when it is that long already). Numbered 64-byte lines, so a lost or doubled
// piece shows.
std::string padBody(std::string_view body, std::int64_t size);

// {https} and {http} in text replaced by these ports.
std::string expandPorts(std::string text, const std::string& https, const std::string& http);

std::string responseHead(int status, std::int64_t contentLength, bool keepAlive,
                         std::string_view extraHeaders = {});

class Responder {
public:
    // Reads the --body file; throws AccountsError.
    Responder(const Options& options, std::vector<Account> accounts);

    // The ports that {https} and {http} in a redirect stand for.
    void setPorts(int https, int http);
    Answer answer(const Request& request, bool plainHttp);

private:
    const Options& options_;
    std::vector<Account> accounts_;
    std::string fixedBody_;
    bool hasFixedBody_ = false;
    std::string httpsPort_, httpPort_;
    std::mutex mutex_;
    std::vector<std::size_t> served_;  // report requests per account so far
};

}  // namespace reportserver
