#include "user.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "text.h"
#include "window_query.h"

namespace wintest {

Background::Background(std::function<void()> work, DWORD limitMs)
    : work_(std::move(work)), limitMs_(limitMs),
      thread_(CreateThread(nullptr, 0, run, this, 0, nullptr)) {}

Background::~Background() {
    if (!thread_ || join(limitMs_)) return;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "wintest: a background thread of %s.%s still runs after %lu ms; ending the test program\n",
                 test ? test->test_suite_name() : "?", test ? test->name() : "?", limitMs_);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
}

DWORD WINAPI Background::run(void* self) {
    static_cast<Background*>(self)->work_();
    return 0;
}

bool Background::join(DWORD timeoutMs) {
    if (!thread_) return false;
    const HANDLE thread = thread_.get();
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const ULONGLONG spent = GetTickCount64() - start;
        const DWORD left = spent >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - spent);
        const DWORD got = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (got == WAIT_OBJECT_0) return true;
        if (got != WAIT_OBJECT_0 + 1 || left == 0) return false;
        MSG msg;  // answers messages other threads send to this thread's windows
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

std::vector<std::string> withUser(const std::function<void()>& call,
                                  const std::function<void()>& user) {
    std::atomic<bool> returned{false};
    std::vector<std::string> swept;
    {
        Background player([&] {
            user();
            while (!returned) {
                for (HWND window : findWindows(ownProcess())) {
                    const std::wstring cls = className(window);
                    swept.push_back(narrow(cls + L" \"" + windowText(window) + L"\""));
                    if (cls == L"#32770")
                        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    else
                        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                }
                Sleep(250);
            }
        });
        call();
        returned = true;
    }  // the player has ended here (or the program has)
    return swept;
}

namespace {
constexpr UINT kRunWork = WM_APP + 1;
constexpr const wchar_t* kOwnerClass = L"WintestOnOwnerThread";
}  // namespace

OnOwnerThread::OnOwnerThread() : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassW(&wc);  // fails harmlessly when already registered
    window_.reset(CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr));
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void OnOwnerThread::post(std::function<void()> work) {
    work_ = std::move(work);
    ResetEvent(done_.get());
    PostMessageW(window_.get(), kRunWork, 0, 0);
}

bool OnOwnerThread::waitDone(DWORD timeoutMs) {
    return WaitForSingleObject(done_.get(), timeoutMs) == WAIT_OBJECT_0;
}

LRESULT CALLBACK OnOwnerThread::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kRunWork) return DefWindowProcW(hwnd, message, wParam, lParam);
    auto* self = reinterpret_cast<OnOwnerThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && self->work_) self->work_();
    if (self) SetEvent(self->done_.get());
    return 0;
}

}  // namespace wintest
