#pragma once
// A flag one thread raises and another waits for.
#include <windows.h>

#include "handles.h"

namespace tavri::win {

// Works like an auto-reset event. Where Windows has condition variables
// (Vista on), the waiter sleeps on one: under Wine, every operation on an
// event is a round trip to the wine server, and a wake-up through an event
// costs about 50 µs where one through a condition variable costs 2. On
// Windows XP it is the event alone.
class WakeFlag {
public:
    enum class Kind { Fastest, EventOnly };
    explicit WakeFlag(Kind kind = Kind::Fastest);
    ~WakeFlag();
    WakeFlag(const WakeFlag&) = delete;
    WakeFlag& operator=(const WakeFlag&) = delete;

    bool valid() const { return static_cast<bool>(event_); }
    void raise();
    // Waits until the flag is up or ms have passed (INFINITE: no limit), and
    // lowers it. True when it was up.
    bool wait(DWORD ms);
    // An auto-reset event for a waiter that must also wait for window
    // messages: raise() sets it from now until the next wait(), and it is set
    // at once when the flag is already up.
    HANDLE event();

private:
    using SleepFn = BOOL(WINAPI*)(RTL_CONDITION_VARIABLE*, CRITICAL_SECTION*, DWORD);
    using WakeFn = void(WINAPI*)(RTL_CONDITION_VARIABLE*);

    UniqueKernelHandle event_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    SleepFn sleep_ = nullptr;  // null: the event alone
    WakeFn wake_ = nullptr;
    CRITICAL_SECTION lock_;
    RTL_CONDITION_VARIABLE condition_ = {};
    bool up_ = false;
    bool eventWanted_ = false;
};

}  // namespace tavri::win
