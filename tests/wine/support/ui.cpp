// Finding, reading and driving windows, and playing the user.
#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>

#include "wintest.h"

namespace wintest {
namespace {

// How long a window's thread may take to answer. Not SMTO_ABORTIFHUNG: a
// thread that has not read its queue for 5 s counts as hung, even one that is
// just showing the window asked about after a long wait of its own.
constexpr DWORD kSendMs = 5000;

BOOL CALLBACK collect(HWND hwnd, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
    return TRUE;
}

// The icon a message box shows, told by its colours (a handle means nothing
// in another process): mostly red for an error, yellow for a warning, blue
// for information.
int iconByColour(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    HDC screen = GetDC(nullptr);
    long red = 0, yellow = 0, blue = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const COLORREF c = GetPixel(screen, x, y);
            const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            red += r > 150 && g < 80 && b < 80;
            yellow += r > 150 && g > 110 && b < 80;
            blue += b > 150 && r < 100;
        }
    ReleaseDC(nullptr, screen);
    const long most = std::max({red, yellow, blue});
    return most < 16        ? -1
           : most == red    ? MB_ICONERROR
           : most == yellow ? MB_ICONWARNING
                            : MB_ICONINFORMATION;
}

}  // namespace

WindowQuery ownProcess(const wchar_t* cls, const wchar_t* caption) {
    return {GetCurrentProcessId(), 0, cls, caption};
}

std::vector<HWND> findWindows(const WindowQuery& q) {
    std::vector<HWND> all, found;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&all));
    for (HWND hwnd : all) {
        DWORD pid = 0;
        const DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
        if ((!q.processId || pid == q.processId) && (!q.threadId || tid == q.threadId) &&
            (!q.visibleOnly || IsWindowVisible(hwnd)) &&
            (!q.className || className(hwnd) == q.className) &&
            (!q.caption || windowText(hwnd) == q.caption))
            found.push_back(hwnd);
    }
    return found;
}

HWND waitForWindow(const WindowQuery& query, DWORD timeoutMs) {
    std::vector<HWND> found;
    waitUntil([&] { return !(found = findWindows(query)).empty(); }, timeoutMs);
    return found.empty() ? nullptr : found.front();
}

bool waitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    return waitUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); !condition(); Sleep(20)) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {  // left for the loop it is meant for
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

std::wstring windowText(HWND hwnd) {
    DWORD_PTR length = 0, copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendMs, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, kSendMs, &copied);
    text.resize(copied);
    return text;
}

std::wstring className(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> result;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        result.push_back(c);
    return result;
}

HWND focusOfThread(DWORD threadId) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

MessageBoxView dismissMessageBox(WindowQuery query, DWORD timeoutMs) {
    if (!query.className) query.className = L"#32770";
    MessageBoxView view;
    if (!(view.hwnd = waitForWindow(query, timeoutMs))) return view;
    view.caption = windowText(view.hwnd);
    for (HWND c : children(view.hwnd)) {
        const std::wstring cls = className(c);
        if (!IsWindowVisible(c)) continue;
        if (cls == L"Static" && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            waitUntil([&] { return (view.icon = iconByColour(c)) != -1; },
                      2000);  // may not be painted yet
        else if (cls == L"Static" && !windowText(c).empty())
            view.text = windowText(c);
        else if (cls == L"Button")
            view.buttons.push_back(windowText(c));
    }
    PostMessageW(view.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(view.hwnd, IDOK)));
    waitForWindowGone(view.hwnd);
    return view;
}

void clickButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void setText(HWND edit, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        kSendMs, &ignored);
}

// The keys go down in order and come up in reverse.
bool pressChord(HWND target, std::initializer_list<WORD> virtualKeys) {
    std::vector<INPUT> inputs;
    for (const DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)})
        for (std::size_t i = 0; i < virtualKeys.size(); ++i) {
            INPUT& in = inputs.emplace_back();
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = virtualKeys.begin()[up ? virtualKeys.size() - 1 - i : i];
            in.ki.dwFlags = up;
        }
    return target && GetForegroundWindow() == target &&
           SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
               inputs.size();
}

Background::Background(std::function<void()> work, DWORD limitMs)
    : work_(std::move(work)),
      limitMs_(limitMs),
      thread_(CreateThread(nullptr, 0, run, this, 0, nullptr)) {}

DWORD WINAPI Background::run(void* self) {
    static_cast<Background*>(self)->work_();
    return 0;
}

Background::~Background() {
    if (!thread_ || join(limitMs_)) return;
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(
        stderr,
        "wintest: a background thread of %s.%s still runs after %lu ms; ending the test program\n",
        test ? test->test_suite_name() : "-", test ? test->name() : "-", limitMs_);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
}

bool Background::join(DWORD timeoutMs) {
    const HANDLE thread = thread_.get();
    for (const DWORD start = GetTickCount(); thread && GetTickCount() - start <= timeoutMs;) {
        const DWORD woke = MsgWaitForMultipleObjects(
            1, &thread, FALSE, timeoutMs - (GetTickCount() - start), QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;
        MSG msg;  // handles the sent messages only
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return false;
}

std::vector<std::string> withUser(const std::function<void()>& call,
                                  const std::function<void()>& user) {
    std::atomic<bool> returned{false};
    std::vector<std::string> swept;
    {
        Background player([&] {
            user();
            for (; !returned; Sleep(250))
                for (HWND window : findWindows(ownProcess())) {
                    const std::wstring cls = className(window);
                    swept.push_back(narrow(cls + L" \"" + windowText(window) + L"\""));
                    PostMessageW(window, cls == L"#32770" ? WM_COMMAND : WM_SYSCOMMAND,
                                 cls == L"#32770" ? IDOK : SC_CLOSE, 0);
                }
        });
        call();
        returned = true;
    }  // the player has ended here, or the program has
    return swept;
}

}  // namespace wintest
