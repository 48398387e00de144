#include "server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "connection.h"

namespace reportserver {
namespace {

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr int kIdleSeconds = 120;

std::string tlsError() {
    char buf[256];
    ERR_error_string_n(ERR_get_error(), buf, sizeof buf);
    return buf;
}

int listenOn(const std::string& address, int port, int* boundPort) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1)
        throw std::runtime_error("not an IPv4 address: " + address);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port) + ": " +
                                 why);
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *boundPort = ntohs(addr.sin_port);
    return fd;
}

void sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Reads one request head into head; leftover keeps what followed it.
// False at the end of the connection or on a broken request.
bool readHead(Connection& conn, std::string& leftover, std::string& head) {
    char buf[16 * 1024];
    for (;;) {
        const auto end = leftover.find("\r\n\r\n");
        if (end != std::string::npos) {
            head = leftover.substr(0, end);
            leftover.erase(0, end + 4);
            return true;
        }
        if (leftover.size() > kMaxHead) return false;
        const long n = conn.read(buf, sizeof buf);
        if (n <= 0) return false;
        leftover.append(buf, static_cast<std::size_t>(n));
    }
}

bool skipBody(Connection& conn, std::string& leftover, std::int64_t length) {
    char buf[16 * 1024];
    while (static_cast<std::int64_t>(leftover.size()) < length) {
        length -= static_cast<std::int64_t>(leftover.size());
        leftover.clear();
        const long n = conn.read(buf, sizeof buf);
        if (n <= 0) return false;
        leftover.assign(buf, static_cast<std::size_t>(n));
    }
    leftover.erase(0, static_cast<std::size_t>(length));
    return true;
}

// Reads and drops whatever comes until the peer closes.
void waitForEnd(Connection& conn) {
    char buf[4096];
    long n;
    do
        n = conn.read(buf, sizeof buf);
    while (n > 0 || n == Connection::kTimedOut);
}

// Carries out one answer; false when the connection must end.
bool deliver(Connection& conn, const Answer& a, bool keepAlive) {
    sleepMs(a.delayMs);
    switch (a.kind) {
        case Answer::Kind::Stall: {
            waitForEnd(conn);
            return false;
        }
        case Answer::Kind::Drop:
            conn.drop();
            return false;
        case Answer::Kind::Endless: {
            if (!conn.write(a.head)) return false;
            const std::string block(16 * 1024, '.');
            while (conn.write(block)) {
            }
            return false;
        }
        case Answer::Kind::Respond:
            break;
    }
    if (a.trickleMs > 0) {
        if (!conn.write(a.head)) return false;
        for (const char c : a.body) {
            sleepMs(a.trickleMs);
            if (!conn.write(std::string_view(&c, 1))) return false;
        }
        return keepAlive;
    }
    if (a.dropAfter >= 0) {
        const auto n = std::min<std::size_t>(a.body.size(), static_cast<std::size_t>(a.dropAfter));
        conn.write(a.head + a.body.substr(0, n));
        conn.drop();
        return false;
    }
    return conn.write(a.head + a.body) && keepAlive;
}

SSL_CTX* tlsContext(const std::string& certFile, const std::string& keyFile) {
    SSL_CTX* tls = SSL_CTX_new(TLS_server_method());
    if (!tls) throw std::runtime_error("TLS: " + tlsError());
    if (SSL_CTX_use_certificate_chain_file(tls, certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(tls, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(tls) != 1) {
        SSL_CTX_free(tls);
        throw std::runtime_error("certificate " + certFile + " / key " + keyFile + ": " +
                                 tlsError());
    }
    return tls;
}

}  // namespace

Server::Server(const Options& options, Responder& responder, RequestLog& log)
    : responder_(responder),
      log_(log),
      stallHandshake_(options.stallHandshake),
      silentHoldMs_(options.silentHoldMs) {
    tls_ = tlsContext(options.certFile, options.keyFile);
    if (options.untrustedPort >= 0)
        untrustedTls_ = tlsContext(options.untrustedCertFile, options.untrustedKeyFile);
    const std::pair<Kind, int> wanted[] = {{Kind::Https, options.port},
                                           {Kind::Http, options.httpPort},
                                           {Kind::Untrusted, options.untrustedPort},
                                           {Kind::Silent, options.silentPort}};
    for (const auto& [kind, port] : wanted) {
        if (port < 0) continue;
        Listener l{kind, -1, -1};
        l.fd = listenOn(options.bind, port, &l.port);
        listeners_.push_back(l);
    }
    responder_.setPorts(listeners_.front().port, this->port(Kind::Http));
}

Server::~Server() {
    for (const auto& l : listeners_)
        ::close(l.fd);
    SSL_CTX_free(tls_);
    SSL_CTX_free(untrustedTls_);
}

int Server::port(Kind kind) const {
    for (const auto& l : listeners_)
        if (l.kind == kind) return l.port;
    return -1;
}

void Server::run() {
    std::vector<pollfd> fds;
    for (const auto& l : listeners_)
        fds.push_back({l.fd, POLLIN, 0});
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            const int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            const timeval idle{kIdleSeconds, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
            std::thread([this, fd, kind = listeners_[i].kind] { serve(fd, kind); }).detach();
        }
    }
}

void Server::serve(int fd, Kind kind) {
    if (kind == Kind::Silent || (kind == Kind::Https && stallHandshake_)) {
        if (silentHoldMs_ > 0) {
            const timeval quiet{silentHoldMs_ / 1000, silentHoldMs_ % 1000 * 1000};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &quiet, sizeof quiet);
        }
        Connection silent(fd, nullptr);
        char buf[4096];
        long n;
        do
            n = silent.read(buf, sizeof buf);
        while (n > 0 || (n == Connection::kTimedOut && silentHoldMs_ == 0));
        return;
    }
    const bool tls = kind != Kind::Http;
    Connection conn(fd, kind == Kind::Https       ? tls_
                        : kind == Kind::Untrusted ? untrustedTls_
                                                  : nullptr);
    if (!conn.handshake()) return;
    std::string leftover;
    std::string head;
    while (readHead(conn, leftover, head)) {
        const auto request = parseRequestHead(head);
        if (!request) {
            conn.write(responseHead(400, 0, false));
            return;
        }
        log_.write(*request, tls ? "https" : "http");
        if (!skipBody(conn, leftover, request->contentLength)) return;
        const Answer answer = responder_.answer(*request, !tls);
        if (!deliver(conn, answer, request->keepAlive)) return;
    }
}

}  // namespace reportserver
