#pragma once
// The settings window frmsett as a real Win32 window: class
// "TavriSettingsForm", caption "Tavri Plugin Settings". Its controls, their
// ids, Z (and tab) order and places are frmsett_layout.h's; the ids stay clear
// of IDOK and IDCANCEL, so Enter and Esc press nothing.
#include <memory>

#include "ports.h"

namespace tavri::win {

// The controls' ids; the save button is the form's Command1, the site button its Command2.
namespace frmsett_id {
constexpr int kFrame1 = 1001;
constexpr int kText2 = 1002;
constexpr int kText1 = 1003;
constexpr int kSaveButton = 1004;
constexpr int kLabel1 = 1005;
constexpr int kLabel2 = 1006;
constexpr int kSiteButton = 1007;
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
