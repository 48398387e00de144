#pragma once
// The install sequence's port on Windows: file copy, the system's registry
// editor and registration tool started by full path, minimized, and waited
// for while the window keeps answering, message boxes.
#include <windows.h>

#include "install_sequence.h"

namespace tavri::installer::win {

// The Program Files folder Windows gives this (32-bit) program: on 64-bit
// Windows its x86 folder. Empty when Windows names none.
std::string programFilesFolderOfWindows();

class WinInstallPort : public InstallPort {
public:
    // owner: the window that message boxes belong to; commandBox: the text
    // box that holds the registration command line.
    WinInstallPort(HWND owner, HWND commandBox) : owner_(owner), commandBox_(commandBox) {}

    std::string programFolder() override;
    std::string programFilesFolder() override { return programFilesFolderOfWindows(); }
    bool copyFile(const std::string& source, const std::string& destination) override;
    bool existsInCurrentDirectory(std::string_view fileName) override;
    std::string registrationCommandLine() override;
    ProgramRun runAndWait(const std::string& commandLine, unsigned waitLimitMs) override;
    void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;

private:
    HWND owner_;
    HWND commandBox_;
};

}  // namespace tavri::installer::win
