#pragma once
// What the wrapper scripts tell the test programs about the report servers
// they started: base URLs and request-log paths, in environment variables.
#include <string>
#include <vector>

namespace fetchtest {

// Value of TAVRI_<name>, or "" when unset.
std::string serverEnv(const char* name);

// Report URL on the server whose base ("https://localhost:PORT") is in
// TAVRI_<server>; user and password must already be URL-encoded.
std::string reportUrl(const char* server, const std::string& user = "agent",
                      const std::string& password = "pw");

// One request-log line, split at its tabs (time, method, path, username,
// password, user agent, scheme).
using LogLine = std::vector<std::string>;
std::vector<LogLine> readLog(const char* logName);

// A request-log field as the server writes it (see reportserver/README.md).
std::string logEscaped(const std::string& bytes);

}  // namespace fetchtest
