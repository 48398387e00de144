#pragma once
// The settings window frmsett as a real Win32 window.
#include <memory>

#include "ports.h"

namespace tavri::win {

class FrmsettFactory : public SettingsWindowFactory {
public:
    std::unique_ptr<SettingsWindow> create(SettingsWindowEvents& events) override;
};

// Settings windows alive in this process (for DllCanUnloadNow).
long liveSettingsWindows();

}  // namespace tavri::win
