#pragma once
// One accepted socket, with or without TLS on it.
#include <openssl/ssl.h>

#include <cstddef>
#include <string_view>

namespace reportserver {

class Connection {
public:
    Connection(int fd, SSL_CTX* tls);  // tls == nullptr: plain
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool handshake();  // TLS accept; true for plain
    static constexpr long kTimedOut = -2;
    // >0 bytes, 0 end, kTimedOut when the socket's receive timeout ran out,
    // -1 error.
    long read(char* buffer, std::size_t size);
    bool write(std::string_view bytes);  // all of it, in one call
    // Closes without a TLS close_notify, as a dropped connection does.
    void drop();

private:
    int fd_;
    SSL* ssl_ = nullptr;
    bool orderly_ = true;
};

}  // namespace reportserver
