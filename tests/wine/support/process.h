#pragma once
// Child processes of a test: started, fed, waited for (bounded) and read.
#include <windows.h>

#include <string>
#include <vector>

#include "handles.h"

namespace wintest {

// A child process with its output and errors captured; terminated in the
// destructor if it still runs.
class Process {
public:
    explicit Process(const std::wstring& commandLine, const std::wstring& currentDirectory = L"",
                     bool pipeInput = false);
    ~Process();
    bool started() const { return static_cast<bool>(process_); }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_.get(); }
    bool write(const std::string& bytes);  // to its input (pipeInput only)
    void closeInput() { input_.reset(); }
    int wait(DWORD timeoutMs = 60000);     // exit code; -1 (and terminated) when it did not end in time
    std::string output() const;
    std::string errors() const;

private:
    tavri::win::UniqueKernelHandle process_, input_;
    DWORD pid_ = 0;
    std::wstring outPath_, errPath_;
};

int runProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000, std::string* output = nullptr);
std::wstring besideMe(const wchar_t* fileName);  // next to the test program
std::vector<DWORD> childProcesses(DWORD parent, const wchar_t* exeName);

}  // namespace wintest
