#include "win_ui.h"

#include <memory>

namespace wintest {
namespace {

struct FindRequest {
    const wchar_t* className;
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK matchTopLevel(HWND hwnd, LPARAM param) {
    auto* req = reinterpret_cast<FindRequest*>(param);
    if (!IsWindowVisible(hwnd)) return TRUE;
    if (req->className && className(hwnd) != req->className) return TRUE;
    if (req->caption && windowText(hwnd) != req->caption) return TRUE;
    req->found = hwnd;
    return FALSE;
}

struct ChildRequest {
    const wchar_t* className;
    const wchar_t* text;
    int id;
    HWND found;
};

BOOL CALLBACK matchChild(HWND hwnd, LPARAM param) {
    auto* req = reinterpret_cast<ChildRequest*>(param);
    if (req->id != 0 && GetDlgCtrlID(hwnd) != req->id) return TRUE;
    if (req->className && className(hwnd) != req->className) return TRUE;
    if (req->text && windowText(hwnd) != req->text) return TRUE;
    req->found = hwnd;
    return FALSE;
}

void pumpBriefly() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Sleep(20);
}

int iconKind(HICON shown) {
    if (!shown) return 0;
    struct Known { LPCWSTR id; int kind; };
    const Known known[] = {{IDI_INFORMATION, MB_ICONINFORMATION},
                           {IDI_WARNING, MB_ICONWARNING},
                           {IDI_ERROR, MB_ICONERROR},
                           {IDI_QUESTION, MB_ICONQUESTION}};
    for (const auto& k : known)
        if (LoadIconW(nullptr, k.id) == shown) return k.kind;
    return -1;
}

}  // namespace

HWND waitForWindow(const wchar_t* cls, const wchar_t* caption, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        FindRequest req{cls, caption, nullptr};
        EnumWindows(matchTopLevel, reinterpret_cast<LPARAM>(&req));
        if (req.found) return req.found;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        pumpBriefly();
    }
}

bool waitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (IsWindow(hwnd)) {
        if (GetTickCount() - start > timeoutMs) return false;
        pumpBriefly();
    }
    return true;
}

std::wstring windowText(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 2000, &copied);
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

HWND childById(HWND parent, int id) {
    ChildRequest req{nullptr, nullptr, id, nullptr};
    EnumChildWindows(parent, matchChild, reinterpret_cast<LPARAM>(&req));
    return req.found;
}

HWND findChild(HWND parent, const wchar_t* cls, const wchar_t* text) {
    ChildRequest req{cls, text, 0, nullptr};
    EnumChildWindows(parent, matchChild, reinterpret_cast<LPARAM>(&req));
    return req.found;
}

MessageBoxView readMessageBox(HWND box) {
    MessageBoxView view;
    view.hwnd = box;
    view.caption = windowText(box);
    for (HWND c : children(box)) {
        const std::wstring cls = className(c);
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        if (cls == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
            DWORD_PTR icon = 0;
            SendMessageTimeoutW(c, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
            view.icon = iconKind(reinterpret_cast<HICON>(icon));
        } else if (cls == L"Static") {
            if (!windowText(c).empty()) view.text = windowText(c);
        } else if (cls == L"Button" && IsWindowVisible(c)) {
            view.buttons.push_back(windowText(c));
        }
    }
    return view;
}

MessageBoxView dismissMessageBox(const wchar_t* caption, DWORD timeoutMs) {
    HWND box = waitForWindow(L"#32770", caption, timeoutMs);
    if (!box) return {};
    MessageBoxView view = readMessageBox(box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    waitForWindowGone(box);
    return view;
}

void clickButton(HWND button) {
    // Posted, not sent: the click may open a modal window on the owner's thread.
    PostMessageW(button, BM_CLICK, 0, 0);
}

void setText(HWND edit, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 2000, &ignored);
}

Background::Background(std::function<void()> work) : work_(std::move(work)) {
    thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
}

Background::~Background() {
    if (thread_) {
        join();
        CloseHandle(thread_);
    }
}

DWORD WINAPI Background::run(void* self) {
    static_cast<Background*>(self)->work_();
    return 0;
}

bool Background::join(DWORD timeoutMs) {
    return thread_ && WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

int runProcess(const std::wstring& commandLine, DWORD timeoutMs) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    CloseHandle(pi.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

std::wstring besideMe(const wchar_t* fileName) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return folder + fileName;
}

bool keyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring readString(HKEY root, const std::wstring& path, const wchar_t* value, bool* found) {
    wchar_t data[4096] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    const LSTATUS rc =
        RegGetValueW(root, path.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size);
    if (found) *found = rc == ERROR_SUCCESS;
    return rc == ERROR_SUCCESS ? std::wstring(data) : std::wstring();
}

bool saveWindowBitmap(HWND hwnd, const std::wstring& path) {
    RECT r{};
    if (!GetWindowRect(hwnd, &r)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);

    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof bih;
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    const DWORD stride = ((w * 3 + 3) & ~3);
    std::unique_ptr<BYTE[]> pixels(new BYTE[stride * h]);
    GetDIBits(mem, bmp, 0, h, pixels.get(), reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER bfh{};
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof bfh + sizeof bih;
    bfh.bfSize = bfh.bfOffBits + stride * h;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, &bfh, sizeof bfh, &written, nullptr) &&
              WriteFile(file, &bih, sizeof bih, &written, nullptr) &&
              WriteFile(file, pixels.get(), stride * h, &written, nullptr);
    CloseHandle(file);
    return ok;
}

}  // namespace wintest
