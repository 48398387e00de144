#include "link.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <deque>

namespace linkrelay {
namespace {

const char* idleName(IdlePolicy policy) {
    switch (policy) {
        case IdlePolicy::Keep:
            return "kept";
        case IdlePolicy::Close:
            return "closed";
        case IdlePolicy::Reset:
            return "reset";
        case IdlePolicy::Forget:
            return "forgotten";
    }
    return "?";
}

bool sendAll(int fd, const std::string& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// One direction of the connection: what was read from one end, held until it
// is due at the other. An empty chunk stands for the end of the stream.
class Direction {
public:
    explicit Direction(int to) : to_(to) {}

    void push(std::string bytes, Clock::time_point due) {
        due = std::max(due, lastDue_);  // nothing overtakes what came before it
        lastDue_ = due;
        if (bytes.empty()) readEnded = true;
        queue_.push_back({due, std::move(bytes)});
    }
    // Passes on what is due by now; false when the receiving end is broken.
    bool deliver(Clock::time_point now, Clock::time_point& lastActivity) {
        while (!queue_.empty() && queue_.front().due <= now) {
            const std::string& bytes = queue_.front().bytes;
            if (bytes.empty()) {
                ::shutdown(to_, SHUT_WR);
                ended = true;
            } else if (!sendAll(to_, bytes)) {
                return false;
            }
            lastActivity = now;
            queue_.pop_front();
        }
        return true;
    }
    bool idle() const { return queue_.empty(); }
    // Brings due forward to the next chunk's time, if any.
    void nextDue(Clock::time_point& due) const {
        if (!queue_.empty()) due = std::min(due, queue_.front().due);
    }

    bool readEnded = false;  // the sending end has closed its side
    bool ended = false;      // and that has reached the receiving end

private:
    struct Chunk {
        Clock::time_point due;
        std::string bytes;
    };
    int to_;
    std::deque<Chunk> queue_;
    Clock::time_point lastDue_{};
};

// What a readable end had: bytes, "" at its end, or nothing when it broke.
bool readSome(int fd, std::string& bytes) {
    char buf[16 * 1024];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0) return false;
    bytes.assign(buf, static_cast<size_t>(n));
    return true;
}

}  // namespace

void carry(int client, int server, const LinkSettings& settings, int number, std::FILE* log) {
    Direction up(server), down(client);  // client to server, server to client
    bool handshakeOwed = true, forgotten = false;
    Clock::time_point lastActivity = Clock::now();
    const auto note = [&](const char* what) {
        std::fprintf(log, "connection %d %s\n", number, what);
        std::fflush(log);
    };
    for (;;) {
        Clock::time_point now = Clock::now();
        if (!up.deliver(now, lastActivity) || !down.deliver(now, lastActivity)) break;
        if (up.ended && down.ended) break;

        const bool quiet = up.idle() && down.idle() && !forgotten;
        if (quiet && settings.idle != IdlePolicy::Keep &&
            now - lastActivity >= settings.idleAfter) {
            note(idleName(settings.idle));
            if (settings.idle == IdlePolicy::Reset) {
                const linger abort{1, 0};
                ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            }
            if (settings.idle != IdlePolicy::Forget) break;
            forgotten = true;
            ::shutdown(server, SHUT_RDWR);  // the far end goes its own way
        }

        Clock::time_point wake = now + std::chrono::seconds(1);
        up.nextDue(wake);
        down.nextDue(wake);
        if (quiet && settings.idle != IdlePolicy::Keep)
            wake = std::min(wake, lastActivity + settings.idleAfter);
        // An end that has nothing more to give is left out (a negative fd).
        pollfd fds[2] = {{up.readEnded ? -1 : client, POLLIN, 0},
                         {down.readEnded || forgotten ? -1 : server, POLLIN, 0}};
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        if (::poll(fds, 2, static_cast<int>(std::max<long long>(waitMs, 0))) < 0) break;
        now = Clock::now();

        std::string bytes;
        if (fds[0].revents) {
            if (!readSome(client, bytes)) break;
            if (forgotten) {
                if (bytes.empty()) break;  // the client gave up on it
            } else {
                up.push(std::move(bytes),
                        now + settings.oneWay +
                            (handshakeOwed ? 2 * settings.oneWay : Clock::duration{}));
                handshakeOwed = false;
                lastActivity = now;
            }
        }
        if (fds[1].revents) {
            if (!readSome(server, bytes)) bytes.clear();  // a broken server end ends the stream
            down.push(std::move(bytes), now + settings.oneWay);
            lastActivity = now;
        }
    }
    note("ended");
    ::close(client);
    ::close(server);
}

}  // namespace linkrelay
