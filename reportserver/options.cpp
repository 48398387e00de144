#include "options.h"

#include <algorithm>
#include <filesystem>

namespace reportserver {
namespace {

std::int64_t parseNumber(const std::string& text, const std::string& what) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        text.size() > 15)
        throw UsageError(what + ": not a number: '" + text + "'");
    return std::stoll(text);
}

int parsePort(const std::string& text, const std::string& what) {
    const auto n = parseNumber(text, what);
    if (n > 65535) throw UsageError(what + ": no such port: " + text);
    return static_cast<int>(n);
}

// A directory stands for its regular files in name order.
std::vector<std::string> sequenceFiles(const std::string& arg) {
    std::vector<std::string> files;
    if (std::filesystem::is_directory(arg)) {
        for (const auto& entry : std::filesystem::directory_iterator(arg))
            if (entry.is_regular_file()) files.push_back(entry.path().string());
        std::sort(files.begin(), files.end());
    } else {
        std::string::size_type start = 0;
        while (start <= arg.size()) {
            const auto comma = std::min(arg.find(',', start), arg.size());
            if (comma > start) files.push_back(arg.substr(start, comma - start));
            start = comma + 1;
        }
    }
    if (files.empty()) throw UsageError("--sequence: no files in '" + arg + "'");
    return files;
}

}  // namespace

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
        if (name == "--port") o.port = parsePort(value(), name);
        else if (name == "--http-port") o.httpPort = parsePort(value(), name);
        else if (name == "--bind") o.bind = value();
        else if (name == "--cert") o.certFile = value();
        else if (name == "--key") o.keyFile = value();
        else if (name == "--accounts") o.accountsFile = value();
        else if (name == "--log") o.logFile = value();
        else if (name == "--body") o.bodyFile = value();
        else if (name == "--sequence") o.sequence = sequenceFiles(value());
        else if (name == "--body-size") o.bodySize = parseSize(value());
        else if (name == "--status") {
            o.status = static_cast<int>(parseNumber(value(), name));
            if (o.status < 100 || o.status > 599) throw UsageError("--status: not an HTTP status");
        }
        else if (name == "--delay-ms") o.delayMs = static_cast<int>(parseNumber(value(), name));
        else if (name == "--trickle-ms") o.trickleMs = static_cast<int>(parseNumber(value(), name));
        else if (name == "--stall") o.stall = true;
        else if (name == "--stall-handshake") o.stallHandshake = true;
        else if (name == "--drop") o.drop = true;
        else if (name == "--drop-after") o.dropAfter = parseSize(value());
        else if (name == "--endless") o.endless = true;
        else if (name == "--redirect-http") {
            o.redirect = value();
            if (o.redirect.rfind("http://", 0) != 0)
                throw UsageError("--redirect-http: the target must start with http://");
        }
        else if (name == "--redirect") o.redirect = value();
        else throw UsageError("unknown argument: " + name);
    }
    if (o.certFile.empty() || o.keyFile.empty()) throw UsageError("--cert and --key are required");
    return o;
}

const char* helpText() {
    return R"(reportserver: the provider's usage-report server, for tests

usage: reportserver --cert PEM --key PEM [options]

  --port N            HTTPS port (default 47443; 0 picks a free one)
  --bind ADDR         address to listen on (default 127.0.0.1)
  --http-port N       also answer plain http on this port (0: a free one)
  --accounts FILE     accounts: one a line, USER<TAB>PASSWORD<TAB>BODY
  --log FILE          request log, one line a request (appended)
  --body FILE         answer every report request with this file
  --sequence LIST     n-th report request gets the n-th body; after the last
                      body, the last one is repeated. LIST: files separated by
                      commas, or a directory (its files in name order)
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

Which body a report request (/mydatamonitor/usage.txt) gets, first match:
--sequence, --body, the account whose user name and password match the query
(a mismatch gets "error=invalid login"), and without --accounts a built-in
sample report. Other paths get 404.

On start it prints "listening https PORT" (and "listening http PORT") on
stdout. See README.md for the accounts and log formats.
)";
}

}  // namespace reportserver
