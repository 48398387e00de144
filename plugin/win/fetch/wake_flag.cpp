#include "wake_flag.h"

#include <utility>

namespace tavri::win {
namespace {

class Locked {
public:
    explicit Locked(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~Locked() { LeaveCriticalSection(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION& lock_;
};

}  // namespace

WakeFlag::WakeFlag(Kind kind) {
    InitializeCriticalSection(&lock_);
    if (kind == Kind::EventOnly) return;
    // Looked up, not imported: Windows XP has neither.
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto sleep = reinterpret_cast<SleepFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SleepConditionVariableCS")));
    const auto wake = reinterpret_cast<WakeFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "WakeConditionVariable")));
    if (sleep && wake) {
        sleep_ = sleep;
        wake_ = wake;
    }
}

WakeFlag::~WakeFlag() { DeleteCriticalSection(&lock_); }

void WakeFlag::raise() {
    if (!sleep_) {
        SetEvent(event_.get());
        return;
    }
    bool setEvent;
    {
        const Locked locked(lock_);
        up_ = true;
        setEvent = eventWanted_;
    }
    wake_(&condition_);
    if (setEvent) SetEvent(event_.get());
}

bool WakeFlag::wait(DWORD ms) {
    if (!sleep_) return WaitForSingleObject(event_.get(), ms) == WAIT_OBJECT_0;
    const DWORD start = GetTickCount();
    const Locked locked(lock_);
    eventWanted_ = false;
    while (!up_) {
        // The tick count may move in steps of 16 ms: it serves to shorten the
        // wait after an early wake-up, but the wait's own timeout ends it.
        const DWORD spent = GetTickCount() - start;  // right across the tick count's wrap
        if (ms != INFINITE && spent >= ms) break;
        if (!sleep_(&condition_, &lock_, ms == INFINITE ? INFINITE : ms - spent)) break;
    }
    return std::exchange(up_, false);
}

HANDLE WakeFlag::event() {
    if (sleep_) {
        const Locked locked(lock_);
        eventWanted_ = true;
        if (up_) SetEvent(event_.get());
    }
    return event_.get();
}

}  // namespace tavri::win
