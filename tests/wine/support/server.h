#pragma once
// The run's report server (started by run.sh): its ports and its request log.
#include <string>
#include <vector>

namespace wintest {

// The HTTPS port the build points at, or "http", "untrusted", "silent",
// "closed" for the run's other ports.
int serverPort(const char* which = "https");
// https://localhost:PORT/mydatamonitor/usage.txt?username=USER&password=PASSWORD
// (both inserted as given: already escaped).
std::string reportUrl(const std::string& user, const std::string& password = "pw",
                      const char* port = "https", const char* scheme = "https");

struct LoggedRequest {
    std::string method, path, user, password, agent, scheme;  // decoded bytes
};
// Requests whose decoded user name is user, in arrival order.
std::vector<LoggedRequest> requestsOf(const std::string& user);

}  // namespace wintest
