#include "window_query.h"

#include <cstdlib>

namespace wintest {
namespace {

bool matches(HWND hwnd, const WindowQuery& q) {
    DWORD pid = 0;
    const DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
    return (!q.processId || pid == q.processId) && (!q.threadId || tid == q.threadId) &&
           (!q.visibleOnly || IsWindowVisible(hwnd)) && (!q.className || className(hwnd) == q.className) &&
           (!q.caption || windowText(hwnd) == q.caption);
}

// An icon handle means nothing outside its process, so the icon shown is told
// by its pixels against each system icon drawn on the same background.
int iconByLook(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr), shown = CreateCompatibleDC(screen), drawn = CreateCompatibleDC(screen);
    HBITMAP shownBits = CreateCompatibleBitmap(screen, w, h), drawnBits = CreateCompatibleBitmap(screen, w, h);
    SelectObject(shown, shownBits);
    SelectObject(drawn, drawnBits);
    BitBlt(shown, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    HBRUSH background = CreateSolidBrush(GetPixel(shown, 0, 0));  // the corners are transparent
    const struct { LPCWSTR id; int kind; } icons[] = {{IDI_INFORMATION, MB_ICONINFORMATION},
        {IDI_WARNING, MB_ICONWARNING}, {IDI_ERROR, MB_ICONERROR}, {IDI_QUESTION, MB_ICONQUESTION}};
    int best = -1;
    long long bestDifference = 8LL * 3 * w * h;  // near-identical only
    for (const auto& icon : icons) {
        const RECT all{0, 0, w, h};
        FillRect(drawn, &all, background);
        DrawIconEx(drawn, 0, 0, LoadIconW(nullptr, icon.id), w, h, 0, nullptr, DI_NORMAL);
        long long d = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const COLORREF seen = GetPixel(shown, x, y), icon = GetPixel(drawn, x, y);
                for (int shift : {0, 8, 16}) d += std::abs(int(seen >> shift & 0xFF) - int(icon >> shift & 0xFF));
            }
        if (d < bestDifference) bestDifference = d, best = icon.kind;
    }
    DeleteDC(shown);
    DeleteDC(drawn);
    for (HGDIOBJ o : {HGDIOBJ(background), HGDIOBJ(shownBits), HGDIOBJ(drawnBits)}) DeleteObject(o);
    ReleaseDC(nullptr, screen);
    return best;
}

BOOL CALLBACK collect(HWND hwnd, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&all));
    return all;
}

}  // namespace

WindowQuery ownProcess(const wchar_t* cls, const wchar_t* caption) {
    return {GetCurrentProcessId(), 0, cls, caption, true};
}

std::vector<HWND> findWindows(const WindowQuery& query) {
    std::vector<HWND> all, found;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&all));
    for (HWND hwnd : all)
        if (matches(hwnd, query)) found.push_back(hwnd);
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
    const ULONGLONG start = GetTickCount64();
    while (!condition()) {
        if (GetTickCount64() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {  // left for the loop it is meant for
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(20);
    }
    return true;
}

std::wstring windowText(HWND hwnd) {
    DWORD_PTR length = 0, copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
    std::wstring text(length + 1, L'\0');
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        2000, &copied);
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
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) result.push_back(c);
    return result;
}

HWND childById(HWND parent, int id) {
    for (HWND c : descendants(parent))
        if (GetDlgCtrlID(c) == id) return c;
    return nullptr;
}

HWND findChild(HWND parent, const wchar_t* cls, const wchar_t* text) {
    for (HWND c : descendants(parent))
        if ((!cls || className(c) == cls) && (!text || windowText(c) == text)) return c;
    return nullptr;
}

MessageBoxView readMessageBox(HWND box) {
    MessageBoxView view;
    view.hwnd = box;
    view.caption = windowText(box);
    for (HWND c : children(box)) {
        const std::wstring cls = className(c);
        if (!IsWindowVisible(c)) continue;
        if (cls == L"Static" && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            waitUntil([&] { return (view.icon = iconByLook(c)) != -1; }, 2000);  // may not be painted yet
        else if (cls == L"Static" && !windowText(c).empty())
            view.text = windowText(c);
        else if (cls == L"Button")
            view.buttons.push_back(windowText(c));
    }
    return view;
}

MessageBoxView dismissMessageBox(const WindowQuery& query, DWORD timeoutMs) {
    WindowQuery boxes = query;
    if (!boxes.className) boxes.className = L"#32770";
    const HWND box = waitForWindow(boxes, timeoutMs);
    if (!box) return {};
    MessageBoxView view = readMessageBox(box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    waitForWindowGone(box);
    return view;
}

void clickButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void setText(HWND edit, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 2000, &ignored);
}

}  // namespace wintest
