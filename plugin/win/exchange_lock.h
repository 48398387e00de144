#pragma once
// A lock for a few instructions of work, held by exchanging a flag: it needs
// no set-up and no clean-up, so it can guard process-wide state from any
// thread at any time. A waiter sleeps rather than yields, so a holder of
// lower priority still finishes.
#include <windows.h>

namespace tavri::win {

class ExchangeLock {
public:
    explicit ExchangeLock(LONG& flag) : flag_(flag) {
        while (InterlockedExchange(&flag_, 1) != 0)
            Sleep(1);
    }
    ~ExchangeLock() { InterlockedExchange(&flag_, 0); }
    ExchangeLock(const ExchangeLock&) = delete;
    ExchangeLock& operator=(const ExchangeLock&) = delete;

private:
    LONG& flag_;
};

}  // namespace tavri::win
