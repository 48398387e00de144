#pragma once
// Child processes of a test: started, fed, waited for (bounded) and read.
#include <windows.h>

#include <string>
#include <vector>

#include "handles.h"

namespace wintest {

// A child process with its standard output and errors captured. Terminated
// in the destructor if it still runs.
class Process {
public:
    explicit Process(const std::wstring& commandLine, const std::wstring& currentDirectory = L"",
                     bool pipeInput = false);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return static_cast<bool>(process_); }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_.get(); }
    bool write(const std::string& bytes);  // to its input (pipeInput only)
    void closeInput();
    // Exit code; -1 (and terminated) when it did not end in time.
    int wait(DWORD timeoutMs = 60000);
    std::string output() const;
    std::string errors() const;

private:
    tavri::win::UniqueKernelHandle process_, input_;
    DWORD pid_ = 0;
    std::wstring outPath_, errPath_;
};

// Runs a command line to its end; exit code, or -1 when it did not start or end.
int runProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000,
               std::string* output = nullptr);
std::wstring besideMe(const wchar_t* fileName);  // next to the test program
// Processes started by `parent` with this executable name (e.g. explorer.exe).
std::vector<DWORD> childProcesses(DWORD parent, const wchar_t* exeName);

}  // namespace wintest
