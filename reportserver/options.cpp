#include "options.h"

#include <algorithm>

namespace reportserver {
namespace {

int parsePort(const std::string& text, const std::string& what) {
    const auto n = parseNumber(text, what);
    if (n > 65535) throw UsageError(what + ": no such port: " + text);
    return static_cast<int>(n);
}

}  // namespace

std::int64_t parseNumber(const std::string& text, const std::string& what) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        text.size() > 15)
        throw UsageError(what + ": not a number: '" + text + "'");
    return std::stoll(text);
}

std::int64_t parseSize(const std::string& text) {
    std::int64_t unit = 1;
    std::string digits = text;
    if (!digits.empty() && (digits.back() == 'K' || digits.back() == 'M')) {
        unit = digits.back() == 'K' ? 1024 : 1024 * 1024;
        digits.pop_back();
    }
    return parseNumber(digits, "size") * unit;
}

Options parseOptions(const std::vector<std::string>& args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
            return args[++i];
        };
        if (applySwitch(o.behaviour, name, value)) continue;
        if (name == "--port")
            o.port = parsePort(value(), name);
        else if (name == "--http-port")
            o.httpPort = parsePort(value(), name);
        else if (name == "--untrusted-port")
            o.untrustedPort = parsePort(value(), name);
        else if (name == "--silent-port")
            o.silentPort = parsePort(value(), name);
        else if (name == "--silent-hold-ms")
            o.silentHoldMs = static_cast<int>(parseNumber(value(), name));
        else if (name == "--bind")
            o.bind = value();
        else if (name == "--cert")
            o.certFile = value();
        else if (name == "--key")
            o.keyFile = value();
        else if (name == "--untrusted-cert")
            o.untrustedCertFile = value();
        else if (name == "--untrusted-key")
            o.untrustedKeyFile = value();
        else if (name == "--accounts")
            o.accountsFile = value();
        else if (name == "--log")
            o.logFile = value();
        else if (name == "--body")
            o.bodyFile = value();
        else if (name == "--stall-handshake")
            o.stallHandshake = true;
        else
            throw UsageError("unknown argument: " + name);
    }
    if (o.certFile.empty() || o.keyFile.empty()) throw UsageError("--cert and --key are required");
    if (o.untrustedPort >= 0 && (o.untrustedCertFile.empty() || o.untrustedKeyFile.empty()))
        throw UsageError("--untrusted-port needs --untrusted-cert and --untrusted-key");
    return o;
}

const char* helpText() {
    return R"(reportserver: the provider's usage-report server, for tests

usage: reportserver --cert PEM --key PEM [options]

  --port N            HTTPS port (default 47443; 0 picks a free one)
  --bind ADDR         address to listen on (default 127.0.0.1)
  --http-port N       also answer plain http on this port (0: a free one)
  --untrusted-port N  also answer HTTPS here with --untrusted-cert/-key, a
                      certificate the client does not trust (0: a free one)
  --silent-port N     also accept connections here and never start TLS
  --silent-hold-ms N  close such a connection (and one of --stall-handshake)
                      once the client has sent nothing for N ms; without
                      it, only the client ends it
  --accounts FILE     accounts: one a line,
                      USER<TAB>PASSWORD[<TAB>--SWITCH[=VALUE]...]<TAB>BODY...
                      (the account's own switches; its n-th report request
                      gets its n-th BODY, then the last one again)
  --log FILE          request log, one line a request (appended)
  --body FILE         answer every report request with this file
  --body-size N       pad each body to N bytes (suffix K or M allowed) with
                      filler put in front, so the keys come last
  --status N          HTTP status of report answers (default 200)
  --delay-ms N        wait N ms before answering
  --trickle-ms N      send the head at once, then the body one byte every N ms
  --stall             read the request and never answer
  --stall-handshake   accept connections and never start TLS on them
  --drop              read the request and close the connection unanswered
  --drop-after N      send the head and N body bytes, then close
  --endless           a body that never ends (no length, filler for ever)
  --redirect-http URL answer report requests with 302 to URL (http:// only)
  --redirect URL      the same for any URL (the plain-http side never redirects)
                      {https} and {http} in URL stand for this server's ports

Which body a report request (/mydatamonitor/usage.txt) gets, first match:
the account whose user name and password match the query, --body, and a
built-in sample report without --accounts ("error=invalid login" with it).
The switches from --body-size on shape every answer; an account's own
switches replace them for its requests. Other paths get 404.

On start it prints "listening https PORT" (and "listening http PORT",
"listening untrusted PORT", "listening silent PORT") on stdout. See
README.md for the accounts and log formats.
)";
}

}  // namespace reportserver
