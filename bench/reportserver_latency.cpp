// How long one report request to the stand-in takes on loopback, over one
// kept-alive connection, TLS and plain side by side:
//   reportserver_latency HTTPS_PORT HTTP_PORT [REQUESTS]
// A server that writes head and body separately shows up here at about 40 ms
// a request (delayed acknowledgements); one write with TCP_NODELAY, ~1 ms.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Link {
    int fd = -1;
    SSL* ssl = nullptr;
    bool send(const std::string& s) {
        return ssl ? SSL_write(ssl, s.data(), static_cast<int>(s.size())) > 0
                   : ::send(fd, s.data(), s.size(), 0) == static_cast<ssize_t>(s.size());
    }
    long recv(char* b, size_t n) {
        return ssl ? SSL_read(ssl, b, static_cast<int>(n)) : ::recv(fd, b, n, 0);
    }
};

// One request and its whole answer; false on any trouble.
bool roundTrip(Link& link) {
    if (!link.send("GET /mydatamonitor/usage.txt?username=a&password=b HTTP/1.1\r\n"
                   "Host: localhost\r\nUser-Agent: latency\r\n\r\n"))
        return false;
    std::string got;
    char buf[4096];
    size_t headEnd = std::string::npos;
    long length = -1;
    for (;;) {
        const long n = link.recv(buf, sizeof buf);
        if (n <= 0) return false;
        got.append(buf, static_cast<size_t>(n));
        if (headEnd == std::string::npos && (headEnd = got.find("\r\n\r\n")) != std::string::npos) {
            const auto at = got.find("Content-Length: ");
            if (at == std::string::npos || at > headEnd) return false;
            length = std::atol(got.c_str() + at + 16);
        }
        if (headEnd != std::string::npos && got.size() >= headEnd + 4 + static_cast<size_t>(length))
            return true;
    }
}

double medianOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool measure(const char* label, Link& link, int requests) {
    std::vector<double> ms;
    for (int i = 0; i < requests; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!roundTrip(link)) {
            std::fprintf(stderr, "%s: request %d failed\n", label, i);
            return false;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    double sum = 0;
    for (double m : ms)
        sum += m;
    std::printf("  %-22s median %7.3f ms, mean %7.3f ms, max %7.3f ms\n", label, medianOf(ms),
                sum / requests, *std::max_element(ms.begin(), ms.end()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: reportserver_latency HTTPS_PORT HTTP_PORT [REQUESTS]\n");
        return 2;
    }
    const int requests = argc > 3 ? std::atoi(argv[3]) : 500;
    Link tls{connectTo(std::atoi(argv[1]))};
    Link plain{connectTo(std::atoi(argv[2]))};
    if (tls.fd < 0 || plain.fd < 0) {
        std::fprintf(stderr, "reportserver_latency: cannot connect\n");
        return 1;
    }
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    tls.ssl = SSL_new(ctx);
    SSL_set_fd(tls.ssl, tls.fd);
    if (SSL_connect(tls.ssl) != 1) {
        std::fprintf(stderr, "reportserver_latency: TLS handshake failed\n");
        return 1;
    }
    std::printf(
        "report server stand-in, one loopback request on a kept-alive connection (%d requests)\n",
        requests);
    const bool ok =
        measure("https", tls, requests) && measure("plain http (baseline)", plain, requests);
    SSL_free(tls.ssl);
    SSL_CTX_free(ctx);
    ::close(tls.fd);
    ::close(plain.fd);
    return ok ? 0 : 1;
}
