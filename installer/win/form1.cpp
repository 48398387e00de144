#include "form1.h"

#include <cwctype>

#include "install_sequence.h"
#include "wide_text.h"
#include "win_install_port.h"

namespace tavri::installer::win {
namespace {

constexpr wchar_t kClassName[] = L"TavriInstallerForm";
constexpr wchar_t kCaption[] = L"Tavri Plugin Installer";
constexpr wchar_t kWelcome[] =
    L"Welcome to the Tavri Messenger Plus! Plugin Installer. Please click Install to "
    L"continue. Remember none of your tavri data is transmitted to us or any 3rd party "
    L"providers.";
constexpr UINT kRunInstall = WM_APP + 1;

enum ControlId { kFrame2 = 101, kLabel1, kFrame1, kCancelButton, kInstallButton, kText1 };

// Layout in twips; children of a frame are placed relative to it.
struct Twips {
    int left, top, width, height;
};
constexpr int kClientWidth = 2970;
constexpr int kClientHeight = 1920;
constexpr Twips kFrame2Box{120, 0, 2775, 1215};
constexpr Twips kLabel1Box{120, 120, 2535, 975};
constexpr Twips kFrame1Box{120, 1200, 2775, 615};
constexpr Twips kCancelBox{120, 240, 1215, 255};
constexpr Twips kInstallBox{1440, 240, 1215, 255};
constexpr Twips kText1Box{3840, 2280, 150, 285};

// Twips to pixels at the display's resolution (1440 twips to the inch).
class Scale {
public:
    Scale() {
        HDC screen = GetDC(nullptr);
        dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
        dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    int x(int twips) const { return MulDiv(twips, dpiX_, 1440); }
    int y(int twips) const { return MulDiv(twips, dpiY_, 1440); }

private:
    int dpiX_ = 96, dpiY_ = 96;
};

// Frames are group boxes that hold their controls; a group box drops the
// notifications of its children, so they are handed on to the form.
WNDPROC groupBoxProc = nullptr;

LRESULT CALLBACK frameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) return SendMessageW(GetParent(hwnd), message, wParam, lParam);
    return CallWindowProcW(groupBoxProc, hwnd, message, wParam, lParam);
}

HWND createControl(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                   DWORD exStyle, const Twips& box, int id, const Scale& scale) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    HWND control = CreateWindowExW(
        exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, scale.x(box.left),
        scale.y(box.top), scale.x(box.width), scale.y(box.height), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    return control;
}

HWND createFrame(HWND parent, const Twips& box, int id, const Scale& scale) {
    HWND frame =
        createControl(parent, L"Button", L"", BS_GROUPBOX, WS_EX_CONTROLPARENT, box, id, scale);
    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(frameProc)));
    if (!groupBoxProc) groupBoxProc = previous;
    return frame;
}

// The letter after '&' in a button's caption, upper case, or 0.
wchar_t accessKey(HWND button) {
    const std::wstring text = windowText(button);
    const size_t amp = text.find(L'&');
    return amp + 1 < text.size() ? static_cast<wchar_t>(std::towupper(text[amp + 1])) : 0;
}

}  // namespace

bool Form1::create(int showCommand) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance_;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass)) return false;

    // A fixed tool window: small caption with a close box, no icon, no
    // taskbar button, no resizing, minimizing or maximizing.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
    const Scale scale;
    RECT frame{0, 0, scale.x(kClientWidth), scale.y(kClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    hwnd_ = CreateWindowExW(exStyle, kClassName, kCaption, style, left, top, width, height, nullptr,
                            nullptr, instance_, this);
    if (!hwnd_) return false;
    createControls();
    focus_ = installButton_;
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(installButton_);
    return true;
}

void Form1::createControls() {
    const Scale scale;
    // Text1 keeps the registration command line outside the visible area. It
    // is read-only and no tab stop: keys typed into the window never reach it.
    // It names the file the install copies: below the Program Files folder
    // Windows gives, the same answer the install sequence asks its port for.
    const std::string destination = destinationFile(programFilesFolderOfWindows());
    text1_ =
        createControl(hwnd_, L"Edit", toWide(registrationCommandLineFor(destination)).c_str(),
                      ES_AUTOHSCROLL | ES_READONLY, WS_EX_CLIENTEDGE, kText1Box, kText1, scale);
    // Created in tab order: "&Install", then "&Cancel".
    HWND frame1 = createFrame(hwnd_, kFrame1Box, kFrame1, scale);
    installButton_ = createControl(frame1, L"Button", L"&Install", WS_TABSTOP | BS_PUSHBUTTON, 0,
                                   kInstallBox, kInstallButton, scale);
    cancelButton_ = createControl(frame1, L"Button", L"&Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0,
                                  kCancelBox, kCancelButton, scale);
    HWND frame2 = createFrame(hwnd_, kFrame2Box, kFrame2, scale);
    createControl(frame2, L"Static", kWelcome, SS_LEFT, 0, kLabel1Box, kLabel1, scale);
}

bool Form1::ownsWindow(HWND hwnd) const { return hwnd_ && (hwnd == hwnd_ || IsChild(hwnd_, hwnd)); }

bool Form1::handleKeyboard(const MSG& msg) {
    if (!ownsWindow(msg.hwnd)) return false;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
        if (!installing_) {
            const bool backwards = GetKeyState(VK_SHIFT) < 0;
            if (HWND next = GetNextDlgTabItem(hwnd_, GetFocus(), backwards)) SetFocus(next);
        }
        return true;
    }
    if (msg.message == WM_SYSCHAR) {
        const wchar_t key = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(msg.wParam)));
        for (HWND button : {installButton_, cancelButton_}) {
            if (key != 0 && key == accessKey(button)) {
                if (!installing_) SendMessageW(button, BM_CLICK, 0, 0);
                return true;
            }
        }
    }
    return false;
}

void Form1::onInstallClicked() {
    if (installing_) return;
    // A second click while the install runs does nothing.
    installing_ = true;
    SetFocus(hwnd_);
    EnableWindow(installButton_, FALSE);
    EnableWindow(cancelButton_, FALSE);
    // Run outside the button's own click handling: the form ends afterwards.
    PostMessageW(hwnd_, kRunInstall, 0, 0);
}

void Form1::install() {
    WinInstallPort port(hwnd_, text1_);
    result_ =
        runInstall(port) == InstallOutcome::Installed ? FormResult::Installed : FormResult::Failed;
    DestroyWindow(hwnd_);
}

LRESULT CALLBACK Form1::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return form ? form->handle(hwnd, message, wParam, lParam)
                : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Form1::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kInstallButton) {
                onInstallClicked();
                return 0;
            }
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kCancelButton) {
                if (!installing_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
                return 0;
            }
            break;
        case kRunInstall:
            install();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focused = GetFocus();
                if (focused && IsChild(hwnd_, focused)) focus_ = focused;
            } else if (!HIWORD(wParam)) {
                SetFocus(focus_ && IsWindowEnabled(focus_) ? focus_ : hwnd_);
            }
            return 0;
        case WM_CLOSE:
            // The install runs to its message; closing midway would hide how it ended.
            if (!installing_) DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            hwnd_ = nullptr;
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace tavri::installer::win
