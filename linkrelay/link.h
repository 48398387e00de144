#pragma once
// One TCP connection carried through the link stand-in: both directions
// delayed, and the connection treated one of four ways once it has been idle.
#include <chrono>
#include <cstdio>
#include <string>

namespace linkrelay {

using Clock = std::chrono::steady_clock;

// What the link does to a connection that has carried nothing for a while.
enum class IdlePolicy {
    Keep,    // nothing
    Close,   // both ends get a FIN, as when the server closes an idle connection
    Reset,   // the client gets a RST
    Forget,  // nothing passes either way from then on; the client's end stays open
};

struct LinkSettings {
    std::chrono::milliseconds oneWay{0};  // half the round trip
    IdlePolicy idle = IdlePolicy::Keep;
    std::chrono::milliseconds idleAfter{1000};
};

// Carries one connection until both ends are done with it; returns then.
// The first bytes from the client come one round trip later still: the
// handshake that a local connect skips.
void carry(int client, int server, const LinkSettings& settings, int number, std::FILE* log);

}  // namespace linkrelay
