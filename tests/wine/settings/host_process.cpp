#include "host_process.h"

#include <tlhelp32.h>

#include "form_session.h"
#include "win_ui.h"

namespace settings_test {
namespace {

std::wstring tempFile(const wchar_t* prefix) {
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, prefix, 0, path);
    return path;
}

tavri::win::UniqueFile inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return tavri::win::UniqueFile(CreateFileW(path.c_str(), access,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::wstring quoted(const std::wstring& arg) {
    std::wstring q = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"') q += L'\\';
        q += c;
    }
    return q + L"\"";
}

}  // namespace

HostProcess::HostProcess(const std::vector<std::wstring>& args)
    : outPath_(tempFile(L"hso")), errPath_(tempFile(L"hse")) {
    std::wstring commandLine = quoted(wintest::besideMe(L"plughost.exe"));
    for (const auto& a : args) commandLine += L" " + quoted(a);

    const auto in = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    const auto out = inheritable(outPath_, GENERIC_WRITE, CREATE_ALWAYS);
    const auto err = inheritable(errPath_, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in.get();
    si.hStdOutput = out.get();
    si.hStdError = err.get();
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &si, &pi)) {
        tavri::win::UniqueKernelHandle thread(pi.hThread);
        process_.reset(pi.hProcess);
        pid_ = pi.dwProcessId;
    }
}

HostProcess::~HostProcess() {
    if (process_) wait(1);
    DeleteFileW(outPath_.c_str());
    DeleteFileW(errPath_.c_str());
}

HWND HostProcess::waitForForm(DWORD timeoutMs) const {
    HWND form = nullptr;
    waitUntil([&] { return (form = formOfProcess(pid_, true)) != nullptr; }, timeoutMs);
    return form;
}

int HostProcess::wait(DWORD timeoutMs) {
    if (!process_) return -1;
    if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return static_cast<int>(code);
}

std::string HostProcess::readFile(const std::wstring& path) {
    const tavri::win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got)
        text.append(buffer, got);
    return text;
}

std::vector<DWORD> childProcesses(DWORD parent, const wchar_t* exeName) {
    std::vector<DWORD> found;
    const tavri::win::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parent && lstrcmpiW(entry.szExeFile, exeName) == 0)
            found.push_back(entry.th32ProcessID);
    }
    return found;
}

}  // namespace settings_test
