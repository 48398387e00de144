#pragma once
// Listening sockets and one thread per connection: TLS on the main port,
// optionally plain http on a second one. Each answer goes out in one write on
// a TCP_NODELAY socket, so a loopback request costs about a millisecond.
#include <openssl/ssl.h>

#include <memory>
#include <string>

#include "answers.h"
#include "options.h"
#include "request_log.h"

namespace reportserver {

class Server {
public:
    // Binds the listeners; throws std::runtime_error naming what failed.
    Server(const Options& options, Responder& responder, RequestLog& log);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    int httpsPort() const { return httpsPort_; }
    int httpPort() const { return httpPort_; }  // -1 without a plain listener

    [[noreturn]] void run();

private:
    void serve(int fd, bool tls);

    Responder& responder_;
    RequestLog& log_;
    SSL_CTX* tls_ = nullptr;
    bool stallHandshake_ = false;
    int httpsFd_ = -1;
    int httpFd_ = -1;
    int httpsPort_ = -1;
    int httpPort_ = -1;
};

}  // namespace reportserver
