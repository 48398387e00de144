#pragma once
// The settings window frmsett as a real Win32 window.
//
// Window class "TavriSettingsForm", caption "Tavri Plugin Settings". Every
// control is a direct child of the window (the controls that sit inside the
// frame are placed at the frame's offset plus their own position), in this Z
// order, which is also the tab order of the four tab stops:
//
//   id 1001  Frame1    Button (BS_GROUPBOX)  "Settings"
//   id 1002  Text2     Edit, password, "*"   tool tip "Password"   tab stop
//   id 1003  Text1     Edit, account name    tool tip "Username"   tab stop
//   id 1004  Command1  Button "&save"                              tab stop
//   id 1005  Label1    Static "Username:"
//   id 1006  Label2    Static "Password:"
//   id 1007  Command2  Button "Quillorn" (the maker's web site)    tab stop
//
// The ids stay clear of IDOK and IDCANCEL, so Enter and Esc press nothing.
#include <memory>

#include "ports.h"

namespace tavri::win {

namespace frmsett_id {
constexpr int kFrame1 = 1001;
constexpr int kText2 = 1002;
constexpr int kText1 = 1003;
constexpr int kCommand1 = 1004;
constexpr int kLabel1 = 1005;
constexpr int kLabel2 = 1006;
constexpr int kCommand2 = 1007;
}  // namespace frmsett_id

inline constexpr const wchar_t* kFrmsettClassName = L"TavriSettingsForm";
inline constexpr const wchar_t* kFrmsettCaption = L"Tavri Plugin Settings";

// Creates the window hidden, with empty fields, on the calling thread. The
// instance must be used and destroyed on that thread.
class FrmsettFactory : public SettingsWindowFactory {
public:
    std::unique_ptr<SettingsWindow> create(SettingsWindowEvents& events) override;
};

// Settings windows alive in this process (for DllCanUnloadNow).
long liveSettingsWindows();
// The calling thread is ending with its one settings window still there: the
// window is left to the system, which destroys a thread's windows after the
// thread has ended, and no longer counts. Neither the window nor its instance
// may be touched again. Safe under the loader's lock.
void leaveSettingsWindow();

}  // namespace tavri::win
