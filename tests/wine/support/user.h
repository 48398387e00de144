#pragma once
// Playing the user on another thread while the test's thread sits in a modal
// loop, and getting work back onto the test's thread.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "handles.h"

namespace wintest {

// Runs work on its own thread. The destructor never lets the program go on
// while the thread may still run: if it has not ended within limitMs it
// reports and ends the test program, so a hang is a clear failure.
class Background {
public:
    explicit Background(std::function<void()> work, DWORD limitMs = 60000);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    // Waits (bounded) for the work to end, answering messages sent to this
    // thread's windows meanwhile; true once it has ended.
    bool join(DWORD timeoutMs = 3 * 10000);

private:
    static DWORD WINAPI run(void* self);
    std::function<void()> work_;
    DWORD limitMs_;
    tavri::win::UniqueKernelHandle thread_;
};

// Runs call() on this thread while user() plays the user on a background
// thread. Once user() is done, every window this process still shows is
// closed (a message box by OK, another window by its close box) until call()
// returns, so a user who missed a window fails the test instead of hanging
// it. Returns what was closed that way, "class \"caption\"" each.
std::vector<std::string> withUser(const std::function<void()>& call,
                                  const std::function<void()>& user);

// Runs work on the thread that made this object, from inside whatever message
// loop that thread is in (a modal window's, for instance). post() may be
// called from any thread, one work at a time.
class OnOwnerThread {
public:
    OnOwnerThread();
    OnOwnerThread(const OnOwnerThread&) = delete;
    OnOwnerThread& operator=(const OnOwnerThread&) = delete;
    void post(std::function<void()> work);
    bool waitDone(DWORD timeoutMs);

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    std::function<void()> work_;
    tavri::win::UniqueWindow window_;
    tavri::win::UniqueKernelHandle done_;
};

}  // namespace wintest
