#include "connection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace reportserver {

Connection::Connection(int fd, SSL_CTX* tls) : fd_(fd) {
    if (tls) {
        ssl_ = SSL_new(tls);
        if (ssl_) SSL_set_fd(ssl_, fd);
    }
}

Connection::~Connection() {
    if (ssl_) {
        if (orderly_) SSL_shutdown(ssl_);
        SSL_free(ssl_);
    }
    if (fd_ >= 0) ::close(fd_);
}

bool Connection::handshake() {
    if (!ssl_) return true;
    if (SSL_accept(ssl_) == 1) return true;
    orderly_ = false;
    return false;
}

long Connection::read(char* buffer, std::size_t size) {
    if (ssl_) {
        const int n = SSL_read(ssl_, buffer, static_cast<int>(size));
        if (n > 0) return n;
        const int err = SSL_get_error(ssl_, n);
        if (err == SSL_ERROR_ZERO_RETURN) return 0;
        if (err == SSL_ERROR_SYSCALL && n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return kTimedOut;
        orderly_ = false;
        return err == SSL_ERROR_SYSCALL && n == 0 ? 0 : -1;
    }
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n >= 0) return n;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return kTimedOut;
        if (errno != EINTR) return -1;
    }
}

bool Connection::write(std::string_view bytes) {
    if (bytes.empty()) return true;
    if (ssl_) {
        std::size_t written = 0;
        if (SSL_write_ex(ssl_, bytes.data(), bytes.size(), &written) == 1) return true;
        orderly_ = false;
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void Connection::drop() {
    orderly_ = false;
    ::shutdown(fd_, SHUT_RDWR);
}

}  // namespace reportserver
