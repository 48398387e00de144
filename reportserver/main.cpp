// reportserver: the provider's usage-report server, stood in for tests.
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "accounts.h"
#include "answers.h"
#include "options.h"
#include "request_log.h"
#include "server.h"

int main(int argc, char** argv) {
    using namespace reportserver;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            std::fputs(helpText(), stdout);
            return 0;
        }
    std::signal(SIGPIPE, SIG_IGN);
    try {
        const Options options = parseOptions(args);
        std::vector<Account> accounts;
        if (!options.accountsFile.empty())
            accounts = loadAccounts(options.accountsFile, options.behaviour);
        Responder responder(options, std::move(accounts));
        RequestLog log(options.logFile);
        Server server(options, responder, log);
        const std::pair<Server::Kind, const char*> names[] = {
            {Server::Kind::Https, "https"},
            {Server::Kind::Http, "http"},
            {Server::Kind::Untrusted, "untrusted"},
            {Server::Kind::Silent, "silent"}};
        for (const auto& [kind, name] : names)
            if (server.port(kind) >= 0) std::printf("listening %s %d\n", name, server.port(kind));
        std::fflush(stdout);
        server.run();
    } catch (const UsageError& e) {
        std::fprintf(stderr, "reportserver: %s\n(--help lists the options)\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "reportserver: %s\n", e.what());
        return 1;
    }
}
