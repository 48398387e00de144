#pragma once
// The host stand-in plughost.exe run as a child process, with its output
// kept for assertions. Never outlives the test: a run that does not end in
// time is terminated.
#include <windows.h>

#include <string>
#include <vector>

#include "handles.h"

namespace settings_test {

class HostProcess {
public:
    // Starts plughost.exe (beside the test program) with these arguments.
    explicit HostProcess(const std::vector<std::wstring>& args);
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    bool started() const { return static_cast<bool>(process_); }
    DWORD pid() const { return pid_; }
    // The settings window once this process shows it, or nullptr.
    HWND waitForForm(DWORD timeoutMs = 15000) const;
    // Exit code, or -1 if it did not end in time (it is then terminated).
    int wait(DWORD timeoutMs = 15000);
    std::string output() const { return readFile(outPath_); }
    std::string errors() const { return readFile(errPath_); }

private:
    static std::string readFile(const std::wstring& path);

    tavri::win::UniqueKernelHandle process_;
    DWORD pid_ = 0;
    std::wstring outPath_, errPath_;
};

// Processes started by `parent` with this executable name (e.g. explorer.exe).
std::vector<DWORD> childProcesses(DWORD parent, const wchar_t* exeName);

}  // namespace settings_test
