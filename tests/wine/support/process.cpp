#include "process.h"

#include <tlhelp32.h>

using tavri::win::UniqueFile;
using tavri::win::UniqueKernelHandle;

namespace wintest {
namespace {

std::wstring tempFile() {
    wchar_t folder[MAX_PATH] = {}, path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"wt", 0, path);
    return path;
}

UniqueFile open(const std::wstring& path, DWORD access, DWORD disposition, bool inheritable) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, inheritable};
    return UniqueFile(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string readFile(const std::wstring& path) {
    const UniqueFile file = open(path, GENERIC_READ, OPEN_EXISTING, false);
    std::string text;
    char buffer[4096];
    for (DWORD got = 0; file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got;) text.append(buffer, got);
    return text;
}

}  // namespace

// Output and errors go to files: nothing has to drain a pipe meanwhile.
Process::Process(const std::wstring& commandLine, const std::wstring& currentDirectory, bool pipeInput)
    : outPath_(tempFile()), errPath_(tempFile()) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    if (pipeInput && !CreatePipe(&reader, &writer, &sa, 0)) return;
    const UniqueKernelHandle readEnd(reader);
    input_.reset(writer);
    SetHandleInformation(writer, HANDLE_FLAG_INHERIT, 0);
    const UniqueFile nul = open(L"NUL", GENERIC_READ, OPEN_EXISTING, true);
    const UniqueFile out = open(outPath_, GENERIC_WRITE, CREATE_ALWAYS, true);
    const UniqueFile err = open(errPath_, GENERIC_WRITE, CREATE_ALWAYS, true);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = pipeInput ? reader : nul.get();
    si.hStdOutput = out.get();
    si.hStdError = err.get();
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &si, &pi))
        return;
    CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    pid_ = pi.dwProcessId;
}

Process::~Process() {
    closeInput();
    wait(0);
    DeleteFileW(outPath_.c_str());
    DeleteFileW(errPath_.c_str());
}

bool Process::write(const std::string& bytes) {
    DWORD written = 0;
    return input_ && WriteFile(input_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

int Process::wait(DWORD timeoutMs) {
    DWORD code = 0;
    if (!process_) return -1;
    if (WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process_.get(), &code))
        return static_cast<int>(code);
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 5000);
    return -1;
}

std::string Process::output() const { return readFile(outPath_); }
std::string Process::errors() const { return readFile(errPath_); }

int runProcess(const std::wstring& commandLine, DWORD timeoutMs, std::string* output) {
    Process process(commandLine);
    const int code = process.wait(timeoutMs);
    if (output) *output = process.output();
    return code;
}

std::wstring besideMe(const wchar_t* fileName) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + fileName;
}

std::vector<DWORD> childProcesses(DWORD parent, const wchar_t* exeName) {
    std::vector<DWORD> found;
    const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ParentProcessID == parent && lstrcmpiW(entry.szExeFile, exeName) == 0)
            found.push_back(entry.th32ProcessID);
    return found;
}

}  // namespace wintest
