#pragma once
// Playing the user on another thread while the test's thread sits in a modal
// loop.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "handles.h"

namespace wintest {

// Runs work on its own thread. The destructor never lets the program go on
// while the thread may still run: past limitMs it reports and ends the test
// program, so a hang is a clear failure, never a crash.
class Background {
public:
    explicit Background(std::function<void()> work, DWORD limitMs = 60000);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    // Waits (bounded), answering what other threads send to this thread's windows.
    bool join(DWORD timeoutMs = 3 * 10000);

private:
    static DWORD WINAPI run(void* self);
    std::function<void()> work_;
    DWORD limitMs_;
    tavri::win::UniqueKernelHandle thread_;
};

// Runs call() on this thread while user() plays the user on a background
// thread; once user() is done, any window this process still shows is closed
// (a message box by OK, another window by its close box) until call()
// returns. Returns what was closed that way ("class \"caption\"" each).
std::vector<std::string> withUser(const std::function<void()>& call, const std::function<void()>& user);

}  // namespace wintest
