#pragma once
// Listening sockets and one thread per connection: TLS on the main port,
// optionally plain http, TLS with an untrusted certificate, and a port that
// never speaks TLS. Each answer goes out in one write on
// a TCP_NODELAY socket, so a loopback request costs about a millisecond.
#include <openssl/ssl.h>

#include <memory>
#include <string>
#include <vector>

#include "answers.h"
#include "options.h"
#include "request_log.h"

namespace reportserver {

class Server {
public:
    enum class Kind { Https, Http, Untrusted, Silent };

    // Binds the listeners; throws std::runtime_error naming what failed.
    Server(const Options& options, Responder& responder, RequestLog& log);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    int port(Kind kind) const;  // -1 without such a listener

    [[noreturn]] void run();

private:
    struct Listener {
        Kind kind;
        int fd;
        int port;
    };
    void serve(int fd, Kind kind);

    Responder& responder_;
    RequestLog& log_;
    SSL_CTX* tls_ = nullptr;
    SSL_CTX* untrustedTls_ = nullptr;
    bool stallHandshake_ = false;
    int silentHoldMs_ = 0;
    std::vector<Listener> listeners_;
};

}  // namespace reportserver
