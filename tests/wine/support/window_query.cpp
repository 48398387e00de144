#include "window_query.h"

#include <cstdlib>

namespace wintest {
namespace {

// Handles this thread's queued messages; a quit request is put back for the
// loop that owns it.
void pumpBriefly() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Sleep(20);
}

bool matches(HWND hwnd, const WindowQuery& q) {
    DWORD pid = 0;
    const DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
    return (!q.processId || pid == q.processId) && (!q.threadId || tid == q.threadId) &&
           (!q.visibleOnly || IsWindowVisible(hwnd)) &&
           (!q.className || className(hwnd) == q.className) &&
           (!q.caption || windowText(hwnd) == q.caption);
}

// 32-bit pixels of a rectangle of a device context.
std::vector<DWORD> capture(HDC source, int x, int y, int width, int height) {
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

struct KnownIcon { LPCWSTR id; int kind; };
const KnownIcon kIcons[] = {{IDI_INFORMATION, MB_ICONINFORMATION}, {IDI_WARNING, MB_ICONWARNING},
                            {IDI_ERROR, MB_ICONERROR}, {IDI_QUESTION, MB_ICONQUESTION}};

// An icon handle means nothing outside its process: the icon shown is told
// by comparing its pixels with each system icon drawn on the same background.
int iconByLook(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return -1;
    HDC screen = GetDC(nullptr);
    const std::vector<DWORD> shown = capture(screen, r.left, r.top, w, h);
    HDC canvas = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(canvas, bitmap);
    HBRUSH background = CreateSolidBrush(RGB(shown[0] >> 16 & 0xFF, shown[0] >> 8 & 0xFF, shown[0] & 0xFF));
    int best = -1;
    long long bestDifference = 8LL * 3 * w * h;  // near-identical only
    for (const auto& icon : kIcons) {
        RECT all{0, 0, w, h};
        FillRect(canvas, &all, background);
        DrawIconEx(canvas, 0, 0, LoadIconW(nullptr, icon.id), w, h, 0, nullptr, DI_NORMAL);
        const std::vector<DWORD> drawn = capture(canvas, 0, 0, w, h);
        long long d = 0;
        for (size_t i = 0; i < drawn.size(); ++i)
            for (int shift : {0, 8, 16})
                d += std::abs(int(drawn[i] >> shift & 0xFF) - int(shown[i] >> shift & 0xFF));
        if (d < bestDifference) bestDifference = d, best = icon.kind;
    }
    DeleteObject(background);
    SelectObject(canvas, old);
    DeleteObject(bitmap);
    DeleteDC(canvas);
    ReleaseDC(nullptr, screen);
    return best;
}

int iconOf(HWND control) {
    DWORD_PTR shown = 0;
    SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &shown);
    for (const auto& icon : kIcons)
        if (shown && LoadIconW(nullptr, icon.id) == reinterpret_cast<HICON>(shown)) return icon.kind;
    return iconByLook(control);
}

}  // namespace

WindowQuery ownProcess(const wchar_t* cls, const wchar_t* caption) {
    return {GetCurrentProcessId(), 0, cls, caption, true};
}

std::vector<HWND> findWindows(const WindowQuery& query) {
    struct Search { const WindowQuery* query; std::vector<HWND> found; } search{&query, {}};
    EnumWindows([](HWND hwnd, LPARAM p) WINAPI -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (matches(hwnd, *s->query)) s->found.push_back(hwnd);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const WindowQuery& query, DWORD timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] {
        const auto all = findWindows(query);
        found = all.empty() ? nullptr : all.front();
        return found != nullptr;
    }, timeoutMs);
    return found;
}

bool waitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    return waitUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    while (!condition()) {
        if (GetTickCount64() - start > timeoutMs) return false;
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
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) result.push_back(c);
    return result;
}

namespace {
struct ChildSearch { const wchar_t* cls; const wchar_t* text; int id; HWND found; };
HWND searchChildren(HWND parent, ChildSearch search) {
    EnumChildWindows(parent, [](HWND hwnd, LPARAM p) WINAPI -> BOOL {
        auto* s = reinterpret_cast<ChildSearch*>(p);
        if ((s->id && GetDlgCtrlID(hwnd) != s->id) || (s->cls && className(hwnd) != s->cls) ||
            (s->text && windowText(hwnd) != s->text))
            return TRUE;
        s->found = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
}  // namespace

HWND childById(HWND parent, int id) { return searchChildren(parent, {nullptr, nullptr, id, nullptr}); }

HWND findChild(HWND parent, const wchar_t* cls, const wchar_t* text) {
    return searchChildren(parent, {cls, text, 0, nullptr});
}

MessageBoxView readMessageBox(HWND box) {
    MessageBoxView view;
    view.hwnd = box;
    view.caption = windowText(box);
    for (HWND c : children(box)) {
        const std::wstring cls = className(c);
        if (!IsWindowVisible(c)) continue;
        if (cls == L"Static" && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            view.icon = iconOf(c);
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
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 2000, &ignored);
}

}  // namespace wintest
