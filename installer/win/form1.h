#pragma once
// Form1: the installer's only window. Two frames, the welcome text, the
// "&Install" and "&Cancel" buttons, and the unseen text box Text1 that holds
// the registration command line.
#include <windows.h>

namespace tavri::installer::win {

// Also the program's exit code.
enum class FormResult { Installed = 0, Failed = 1, Closed = 2 };

class Form1 {
public:
    explicit Form1(HINSTANCE instance) : instance_(instance) {}
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window centred on the screen, shows it, focus on "&Install".
    bool create(int showCommand);
    // Keyboard navigation of the window (Tab, Shift+Tab, Alt+access key);
    // true when the message was one of those and has been handled.
    bool handleKeyboard(const MSG& msg);
    FormResult result() const { return result_; }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void onInstallClicked();
    void install();
    bool ownsWindow(HWND hwnd) const;

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND installButton_ = nullptr;  // "&Install"
    HWND cancelButton_ = nullptr;   // "&Cancel"
    HWND text1_ = nullptr;          // the registration command line
    HWND focus_ = nullptr;          // the control that gets the focus back on activation
    bool installing_ = false;
    FormResult result_ = FormResult::Closed;
};

}  // namespace tavri::installer::win
