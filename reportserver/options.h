#pragma once
// Command line of the report server stand-in.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace reportserver {

struct Options {
    std::string bind = "127.0.0.1";
    int port = 47443;             // 0: any free port (printed on start)
    int httpPort = -1;            // plain-http listener, -1: none
    std::string certFile;
    std::string keyFile;
    std::string accountsFile;
    std::string logFile;
    std::string bodyFile;                // one body for every report request
    std::vector<std::string> sequence;   // n-th report request gets n-th file
    std::int64_t bodySize = -1;          // pad bodies to this many bytes
    int status = 200;
    int delayMs = 0;
    int trickleMs = 0;
    bool stall = false;
    bool stallHandshake = false;  // accept TCP, never speak TLS
    bool drop = false;
    std::int64_t dropAfter = -1;  // body bytes sent before the connection drops
    bool endless = false;
    std::string redirect;  // Location of a 302 answer to report requests
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws UsageError with a message naming the bad argument.
Options parseOptions(const std::vector<std::string>& args);

// "12", "100K", "8M" -> bytes. Throws UsageError.
std::int64_t parseSize(const std::string& text);

const char* helpText();

}  // namespace reportserver
