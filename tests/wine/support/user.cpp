#include "user.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "text.h"
#include "window_query.h"

namespace wintest {

Background::Background(std::function<void()> work, DWORD limitMs)
    : work_(std::move(work)), limitMs_(limitMs), thread_(CreateThread(nullptr, 0, run, this, 0, nullptr)) {}

Background::~Background() {
    if (!thread_ || join(limitMs_)) return;
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "wintest: a background thread of %s.%s still runs after %lu ms; ending the test program\n",
                 test ? test->test_suite_name() : "-", test ? test->name() : "-", limitMs_);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
}

DWORD WINAPI Background::run(void* self) {
    static_cast<Background*>(self)->work_();
    return 0;
}

bool Background::join(DWORD timeoutMs) {
    const HANDLE thread = thread_.get();
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (ULONGLONG now; thread && (now = GetTickCount64()) <= end;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, static_cast<DWORD>(end - now), QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;
        MSG msg;  // handles the sent messages only
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return false;
}

std::vector<std::string> withUser(const std::function<void()>& call, const std::function<void()>& user) {
    std::atomic<bool> returned{false};
    std::vector<std::string> swept;
    {
        Background player([&] {
            user();
            for (; !returned; Sleep(250))
                for (HWND window : findWindows(ownProcess())) {
                    const std::wstring cls = className(window);
                    swept.push_back(narrow(cls + L" \"" + windowText(window) + L"\""));
                    if (cls == L"#32770") PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    else PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                }
        });
        call();
        returned = true;
    }  // the player has ended here, or the program has
    return swept;
}

}  // namespace wintest
