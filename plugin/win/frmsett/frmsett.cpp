// The settings window: a hidden-at-birth tool window whose two edit fields
// hold the credentials, shown modally on request.
#include "frmsett.h"

#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include <exception>

#include "automation_error.h"
#include "frmsett_class.h"
#include "frmsett_layout.h"
#include "handles.h"
#include "settings_form.h"
#include "text.h"

namespace tavri::win {
namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;

struct Dpi {
    int x, y;
    static Dpi ofScreen() {
        HDC screen = GetDC(nullptr);
        Dpi dpi{GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
        ReleaseDC(nullptr, screen);
        return dpi;
    }
    int px(int twips) const { return MulDiv(twips, x, 1440); }
    int py(int twips) const { return MulDiv(twips, y, 1440); }
};

std::string fieldText(HWND edit) {
    if (!edit) return {};
    std::wstring text(GetWindowTextLengthW(edit) + 1, L'\0');
    text.resize(GetWindowTextW(edit, text.data(), static_cast<int>(text.size())));
    return toUtf8(text);
}

// Setting a field repaints it and round-trips to the window manager, which
// costs far more than reading it; every tag expansion reloads the same stored
// values, so an unchanged field is left alone.
void setFieldText(HWND edit, std::string_view utf8) {
    if (edit && fieldText(edit) != utf8) SetWindowTextW(edit, toWide(utf8).c_str());
}

// Window procedures must not let exceptions escape into the system's frames.
// The core reports its own failures; this is the last resort, and the
// window stays as it is so nothing typed is lost.
template <typename Event>
void raiseEvent(HWND hwnd, Event&& event) noexcept {
    try {
        event();
    } catch (const std::exception& e) {
        MessageBoxW(IsWindow(hwnd) ? hwnd : nullptr, toWide(e.what()).c_str(),
                    toWide(kAppTitle).c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(IsWindow(hwnd) ? hwnd : nullptr, L"Unexpected error", toWide(kAppTitle).c_str(),
                    MB_OK | MB_ICONERROR);
    }
}

class FrmsettWindow final : public SettingsWindow {
public:
    explicit FrmsettWindow(SettingsWindowEvents& events) : events_(events) {
        frmsett_class::acquire(&windowProc);
        create();
    }

    ~FrmsettWindow() override {
        if (destroyedFlag_) *destroyedFlag_ = true;
        if (window_) {
            // Detach first: the window's last messages must not reach a
            // half-destroyed object.
            SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
            text1_ = text2_ = lastFocus_ = tip_ = nullptr;
            window_.reset();
        }
        frmsett_class::release();
    }

    FrmsettWindow(const FrmsettWindow&) = delete;
    FrmsettWindow& operator=(const FrmsettWindow&) = delete;

    std::string accountName() const override { return fieldText(text1_); }
    std::string password() const override { return fieldText(text2_); }
    void setAccountName(std::string_view text) override { setFieldText(text1_, text); }
    void setPassword(std::string_view text) override { setFieldText(text2_, text); }

    void showModal() override;
    // Destroying the window ends any modal loop; WM_NCDESTROY lets go of it.
    void close() override {
        if (window_) DestroyWindow(window_.get());
    }

private:
    void create();
    void addToolTip(HWND control, const wchar_t* text);
    void relayToToolTip(const MSG& msg);
    void centreOnScreen();
    HWND hwnd() const { return window_.get(); }
    void forgetWindow() {
        window_.release();
        text1_ = text2_ = lastFocus_ = tip_ = nullptr;
    }
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    SettingsWindowEvents& events_;
    UniqueWindow window_;
    HWND text1_ = nullptr;
    HWND text2_ = nullptr;
    HWND lastFocus_ = nullptr;  // the control that gets the focus back on activation
    HWND tip_ = nullptr;        // the fields' tool tips, owned by the form
    bool modal_ = false;
    bool* destroyedFlag_ = nullptr;  // set while showModal runs
};

void FrmsettWindow::create() {
    const Dpi dpi = Dpi::ofScreen();
    const HINSTANCE module = frmsett_class::thisModule();
    const int clientWidth = dpi.px(frmsett_layout::kClientWidth);
    const int clientHeight = dpi.py(frmsett_layout::kClientHeight);
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);

    window_.reset(CreateWindowExW(kWindowExStyle, kFrmsettClassName, kFrmsettCaption, kWindowStyle,
                                  0, 0, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, module, this));
    if (!window_) {
        frmsett_class::release();
        throw AutomationError(7, "Out of memory: the settings window cannot be created");
    }
    // Correct for any frame metrics that AdjustWindowRectEx did not foresee.
    RECT client{};
    GetClientRect(hwnd(), &client);
    if (client.right != clientWidth || client.bottom != clientHeight) {
        SetWindowPos(hwnd(), nullptr, 0, 0, frame.right - frame.left + clientWidth - client.right,
                     frame.bottom - frame.top + clientHeight - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, module,
                           nullptr);  // owned by the form: destroyed with it

    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (const auto& c : frmsett_layout::kControls) {
        const int left = dpi.px(c.left), top = dpi.py(c.top);
        HWND control = CreateWindowExW(
            c.exStyle, c.className, c.text, WS_CHILD | WS_VISIBLE | c.style, left, top,
            dpi.px(c.left + c.width) - left, dpi.py(c.top + c.height) - top, hwnd(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), module, nullptr);
        SendMessageW(control, WM_SETFONT, font, FALSE);
        if (c.toolTip && tip_) addToolTip(control, c.toolTip);
    }
    text1_ = GetDlgItem(hwnd(), frmsett_id::kText1);
    text2_ = GetDlgItem(hwnd(), frmsett_id::kText2);
    SendMessageW(text2_, EM_SETPASSWORDCHAR, L'*', 0);
    ImmAssociateContext(text2_, nullptr);  // no input-method editor for the password
}

// The tool tip is not left to subclass the fields (TTF_SUBCLASS): under Wine a
// subclassed control answers every message some 30 us later, and each report
// call reads both fields. The form is only ever visible inside showModal(),
// whose loop relays the mouse to the tip instead.
void FrmsettWindow::addToolTip(HWND control, const wchar_t* text) {
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;  // accepted by every comctl32 version
    info.uFlags = TTF_IDISHWND;
    info.hwnd = hwnd();
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void FrmsettWindow::relayToToolTip(const MSG& msg) {
    const bool mouse = (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
                       msg.message == WM_NCMOUSEMOVE;
    if (!mouse || !tip_ || !msg.hwnd || (msg.hwnd != hwnd() && !IsChild(hwnd(), msg.hwnd))) return;
    MSG copy = msg;  // the tip takes a non-const MSG
    SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
}

void FrmsettWindow::centreOnScreen() {
    RECT r{};
    GetWindowRect(hwnd(), &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    SetWindowPos(hwnd(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FrmsettWindow::showModal() {
    if (modal_) throw error::formAlreadyModal();
    if (!hwnd()) throw AutomationError(error::kInvalidCall, "The settings window has been closed");

    bool destroyed = false;
    destroyedFlag_ = &destroyed;
    modal_ = true;
    centreOnScreen();
    lastFocus_ = text2_;
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    SetFocus(text2_);

    // Runs until the window is destroyed (close()) or the thread is asked to
    // quit. Every message of the thread is dispatched, so the host can call
    // in meanwhile; `this` is only touched while it is known to be alive.
    bool quit = false;
    WPARAM quitCode = 0;
    MSG msg;
    while (!destroyed && hwnd()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (got == -1) break;
        if (!destroyed && hwnd()) relayToToolTip(msg);
        if (destroyed || !hwnd() || !IsDialogMessageW(hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    if (!destroyed) {
        destroyedFlag_ = nullptr;
        modal_ = false;
        // Asked to quit while open: the window hides and keeps its fields.
        if (hwnd()) ShowWindow(hwnd(), SW_HIDE);
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

LRESULT CALLBACK FrmsettWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<FrmsettWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);

    // The owner of the events may discard this window while handling one, so
    // nothing of `self` is touched after an event has been raised.
    SettingsWindowEvents& events = self->events_;
    switch (message) {
        case WM_CLOSE:
            raiseEvent(hwnd, [&] { events.onCloseBox(); });
            return 0;
        case WM_COMMAND:
            // Enter and Esc arrive here as IDOK and IDCANCEL from the dialog
            // navigation; the form has no default or cancel button, so they and
            // everything else but the two buttons' clicks are ignored.
            if (HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == frmsett_id::kSaveButton)
                    raiseEvent(hwnd, [&] { events.onSave(); });
                else if (LOWORD(wParam) == frmsett_id::kSiteButton)
                    raiseEvent(hwnd, [&] { events.onSiteButton(); });
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd, focus)) self->lastFocus_ = focus;
            } else if (self->lastFocus_) {
                SetFocus(self->lastFocus_);
            }
            return 0;
        case WM_SETFOCUS:
            if (self->lastFocus_) SetFocus(self->lastFocus_);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->forgetWindow();
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<SettingsWindow> FrmsettFactory::create(SettingsWindowEvents& events) {
    return std::make_unique<FrmsettWindow>(events);
}

long liveSettingsWindows() { return frmsett_class::live(); }

void leaveSettingsWindow() { frmsett_class::leave(); }

}  // namespace tavri::win
