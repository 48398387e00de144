#pragma once
// Command line of the report server stand-in.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace reportserver {

// How report requests are answered: set for the whole server on the command
// line, and per account in the accounts file.
struct Behaviour {
    std::int64_t bodySize = -1;  // pad bodies to this many bytes
    int status = 200;
    int delayMs = 0;
    int trickleMs = 0;
    bool stall = false;
    bool drop = false;
    std::int64_t dropAfter = -1;  // body bytes sent before the connection drops
    bool endless = false;
    std::string redirect;  // Location of a 302 answer; {https} and {http} name our ports
};

struct Options {
    std::string bind = "127.0.0.1";
    int port = 47443;        // 0: any free port (printed on start)
    int httpPort = -1;       // plain-http listener, -1: none
    int untrustedPort = -1;  // TLS with --untrusted-cert, -1: none
    int silentPort = -1;     // accepts and never speaks TLS, -1: none
    int silentHoldMs = 0;    // silent connections close after this quiet time, 0: never
    std::string certFile;
    std::string keyFile;
    std::string untrustedCertFile;
    std::string untrustedKeyFile;
    std::string accountsFile;
    std::string logFile;
    std::string bodyFile;         // one body for every report request
    bool stallHandshake = false;  // the main port accepts TCP and never speaks TLS
    Behaviour behaviour;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws UsageError with a message naming the bad argument.
Options parseOptions(const std::vector<std::string>& args);

// Applies one behaviour switch ("--delay-ms" with "20"; value() is asked only
// by switches that take one). False when name is not a behaviour switch.
template <class Value>
bool applySwitch(Behaviour& b, const std::string& name, Value value);

// "12", "100K", "8M" -> bytes. Throws UsageError.
std::int64_t parseSize(const std::string& text);
std::int64_t parseNumber(const std::string& text, const std::string& what);

const char* helpText();

template <class Value>
bool applySwitch(Behaviour& b, const std::string& name, Value value) {
    if (name == "--body-size")
        b.bodySize = parseSize(value());
    else if (name == "--status") {
        b.status = static_cast<int>(parseNumber(value(), name));
        if (b.status < 100 || b.status > 599) throw UsageError("--status: not an HTTP status");
    } else if (name == "--delay-ms")
        b.delayMs = static_cast<int>(parseNumber(value(), name));
    else if (name == "--trickle-ms")
        b.trickleMs = static_cast<int>(parseNumber(value(), name));
    else if (name == "--stall")
        b.stall = true;
    else if (name == "--drop")
        b.drop = true;
    else if (name == "--drop-after")
        b.dropAfter = parseSize(value());
    else if (name == "--endless")
        b.endless = true;
    else if (name == "--redirect-http") {
        b.redirect = value();
        if (b.redirect.rfind("http://", 0) != 0)
            throw UsageError("--redirect-http: the target must start with http://");
    } else if (name == "--redirect")
        b.redirect = value();
    else
        return false;
    return true;
}

}  // namespace reportserver
