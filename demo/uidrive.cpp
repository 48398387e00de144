// uidrive: drives real windows from a script, the way a user would.
//   uidrive wait CAPTION [SECONDS]           wait until a window with this caption shows
//   uidrive settext CAPTION ID TEXT          type TEXT into the control with this id
//   uidrive click CAPTION BUTTON-TEXT        press a button (posted, so modal work may follow)
//   uidrive msgbox CAPTION [SECONDS]         print a message box's text, then press OK
// Exit code 0 on success, 1 when the window or control is not found in time.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Match {
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK matchVisible(HWND hwnd, LPARAM param) {
    auto* m = reinterpret_cast<Match*>(param);
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    if (IsWindowVisible(hwnd) && wcscmp(text, m->caption) == 0) {
        m->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND waitFor(const wchar_t* caption, DWORD seconds) {
    const DWORD deadline = GetTickCount() + seconds * 1000;
    for (;;) {
        Match m{caption, nullptr};
        EnumWindows(matchVisible, reinterpret_cast<LPARAM>(&m));
        if (m.found) return m.found;
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) return nullptr;
        Sleep(50);
    }
}

struct ButtonMatch {
    const wchar_t* text;
    HWND found;
};

BOOL CALLBACK matchButton(HWND hwnd, LPARAM param) {
    auto* m = reinterpret_cast<ButtonMatch*>(param);
    wchar_t cls[64] = {}, text[256] = {};
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, text, 256);
    if (_wcsicmp(cls, L"Button") == 0 && wcscmp(text, m->text) == 0) {
        m->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

void printUtf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    std::fputs(bytes.c_str(), stdout);
    std::fputs("\n", stdout);
}

int fail(const wchar_t* what, const wchar_t* name) {
    fwprintf(stderr, L"uidrive: %ls not found: %ls\n", what, name);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fwprintf(stderr, L"usage: uidrive wait|settext|click|msgbox CAPTION ...\n");
        return 2;
    }
    const std::wstring verb = argv[1];
    const wchar_t* caption = argv[2];
    const DWORD seconds = (verb == L"wait" || verb == L"msgbox") && argc > 3 ? _wtoi(argv[3]) : 20;

    HWND window = waitFor(caption, seconds);
    if (!window) return fail(L"window", caption);

    if (verb == L"wait") return 0;
    if (verb == L"settext" && argc == 5) {
        HWND control = GetDlgItem(window, _wtoi(argv[3]));
        if (!control) {
            // Controls may sit inside a frame: search all descendants.
            for (HWND child = FindWindowExW(window, nullptr, nullptr, nullptr); child && !control;
                 child = FindWindowExW(window, child, nullptr, nullptr))
                control = GetDlgItem(child, _wtoi(argv[3]));
        }
        if (!control) return fail(L"control", argv[3]);
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
        return 0;
    }
    if (verb == L"click" && argc == 4) {
        ButtonMatch m{argv[3], nullptr};
        EnumChildWindows(window, matchButton, reinterpret_cast<LPARAM>(&m));
        if (!m.found) return fail(L"button", argv[3]);
        PostMessageW(m.found, BM_CLICK, 0, 0);
        return 0;
    }
    if (verb == L"msgbox") {
        wchar_t text[2048] = {};
        for (HWND child = FindWindowExW(window, nullptr, L"Static", nullptr); child;
             child = FindWindowExW(window, child, L"Static", nullptr)) {
            if (GetWindowTextW(child, text, 2048) > 0) break;
        }
        printUtf8(text);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return 0;
    }
    fwprintf(stderr, L"uidrive: unknown command %ls\n", verb.c_str());
    return 2;
}
