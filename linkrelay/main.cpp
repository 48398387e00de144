// linkrelay: the link between the PC and the provider, stood in for tests and
// benchmarks. A TCP relay in front of the report server that delays each
// direction by half a round trip, logs every connection, and treats a
// connection that has been idle one of four ways.
//
//   linkrelay --to PORT [--port PORT] [--rtt-ms MS] [--idle keep|close|reset|forget]
//             [--idle-after-ms MS] [--log FILE]
//
// It listens on 127.0.0.1 (--port 0, the default, picks a free port) and
// prints "listening link PORT" once it accepts.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>

#include "link.h"

namespace {

using namespace linkrelay;

struct Options {
    int port = 0, to = -1;
    LinkSettings link;
    std::string log;
};

int number(const std::string& name, const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 0 || value > 65535 * 1000)
        throw std::invalid_argument(name + " takes a number, not \"" + text + "\"");
    return static_cast<int>(value);
}

Options parse(int argc, char** argv) {
    static const std::map<std::string, IdlePolicy> policies = {{"keep", IdlePolicy::Keep},
                                                               {"close", IdlePolicy::Close},
                                                               {"reset", IdlePolicy::Reset},
                                                               {"forget", IdlePolicy::Forget}};
    Options o;
    for (int i = 1; i < argc; i += 2) {
        const std::string name = argv[i];
        if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
        const char* value = argv[i + 1];
        if (name == "--port")
            o.port = number(name, value);
        else if (name == "--to")
            o.to = number(name, value);
        else if (name == "--rtt-ms")
            o.link.oneWay = std::chrono::milliseconds(number(name, value) / 2);
        else if (name == "--idle-after-ms")
            o.link.idleAfter = std::chrono::milliseconds(number(name, value));
        else if (name == "--log")
            o.log = value;
        else if (name == "--idle" && policies.count(value))
            o.link.idle = policies.at(value);
        else
            throw std::invalid_argument("unknown option " + name + " " + value);
    }
    if (o.to < 0) throw std::invalid_argument("--to PORT is missing");
    return o;
}

sockaddr_in loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

int socketOrThrow() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    try {
        const Options options = parse(argc, argv);
        std::FILE* log = options.log.empty() ? stderr : std::fopen(options.log.c_str(), "a");
        if (!log) throw std::runtime_error("cannot open " + options.log);

        const int listener = socketOrThrow();
        const int on = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr = loopback(options.port);
        socklen_t size = sizeof addr;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), size) != 0 ||
            ::listen(listener, 64) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &size) != 0)
            throw std::runtime_error("cannot listen on port " + std::to_string(options.port) +
                                     ": " + std::strerror(errno));
        std::printf("listening link %d\n", ntohs(addr.sin_port));
        std::fflush(stdout);

        for (int count = 1;; ++count) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            const int server = socketOrThrow();
            const sockaddr_in to = loopback(options.to);
            if (::connect(server, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
                std::fprintf(log, "connection %d refused by the server\n", count);
                ::close(server);
                ::close(client);
                continue;
            }
            std::fprintf(log, "connection %d opened\n", count);
            std::fflush(log);
            std::thread(carry, client, server, options.link, count, log).detach();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "linkrelay: %s\n", e.what());
        return 2;
    }
}
