#include "win_install_port.h"

#include <shlobj.h>

#include "kernel_handle.h"
#include "wide_text.h"

namespace tavri::installer::win {
namespace {

// Handles every message waiting for this thread. A quit request is kept for
// the main loop (returned) rather than lost inside the wait.
bool dispatchPending() {
    bool quit = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return quit;
}

// A folder the system names, with its trailing backslash; empty when unknown.
std::wstring systemFolder(UINT(WINAPI* query)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH];
    const UINT length = query(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring folder(path, length);
    if (folder.back() != L'\\') folder += L'\\';
    return folder;
}

bool isFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The program a command line starts with, by its full path: the registration
// tool from the system folder, the registry editor from the system folder or
// else the Windows folder (the order the system itself would search, without
// the installer's own and the current folder that come first there: a program
// planted in either would run with the installer's rights). 64-bit Windows
// maps a 32-bit program's system folder to its 32-bit one, whose registry
// editor writes the registry the 32-bit host reads; 32-bit Windows keeps its
// registry editor in the Windows folder only. Any other program: none.
std::wstring programPath(std::wstring_view commandLine) {
    const std::wstring name(commandLine.substr(0, commandLine.find(L' ')));
    const std::wstring system = systemFolder(GetSystemDirectoryW);
    const std::wstring windows = systemFolder(GetSystemWindowsDirectoryW);
    std::wstring candidates[2];
    if (lstrcmpiW(name.c_str(), L"regsvr32") == 0) {
        candidates[0] = system;
    } else if (lstrcmpiW(name.c_str(), L"regedit") == 0) {
        candidates[0] = system;
        candidates[1] = windows;
    }
    for (const std::wstring& folder : candidates) {
        if (folder.empty()) continue;
        const std::wstring path = folder + name + L".exe";
        if (isFile(path)) return path;
    }
    return {};
}

}  // namespace

std::string programFilesFolderOfWindows() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return toUtf8(path);
}

std::string WinInstallPort::programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
    if (path.size() == 2 && path[1] == L':') path += L'\\';  // a drive's root keeps its separator
    return toUtf8(path);
}

bool WinInstallPort::copyFile(const std::string& source, const std::string& destination) {
    return CopyFileW(toWide(source).c_str(), toWide(destination).c_str(), FALSE) != 0;
}

bool WinInstallPort::existsInCurrentDirectory(std::string_view fileName) {
    return isFile(toWide(fileName));
}

std::string WinInstallPort::registrationCommandLine() { return toUtf8(windowText(commandBox_)); }

ProgramRun WinInstallPort::runAndWait(const std::string& commandLine, unsigned waitLimitMs) {
    std::wstring line = toWide(commandLine);  // CreateProcessW may write into it
    const std::wstring program = programPath(line);
    if (program.empty()) return {ProgramRun::Status::NotStarted, 0};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        return {ProgramRun::Status::NotStarted, 0};
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);

    bool quitRequested = false;
    const DWORD start = GetTickCount();
    ProgramRun run{ProgramRun::Status::TimedOut, 0};
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= waitLimitMs) break;
        const HANDLE waitFor = process.get();
        const DWORD woke =
            MsgWaitForMultipleObjects(1, &waitFor, FALSE, waitLimitMs - elapsed, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            DWORD code = 0;
            if (GetExitCodeProcess(process.get(), &code))
                run = {ProgramRun::Status::Exited, code};
            else
                run = {ProgramRun::Status::NotStarted, 0};
            break;
        }
        if (woke == WAIT_OBJECT_0 + 1) {
            quitRequested = dispatchPending() || quitRequested;
            continue;
        }
        if (woke == WAIT_FAILED) {
            run = {ProgramRun::Status::NotStarted, 0};
            break;
        }
        // WAIT_TIMEOUT: the loop's limit check ends it.
    }
    if (quitRequested) PostQuitMessage(0);
    return run;
}

void WinInstallPort::showMessage(std::string_view caption, std::string_view text,
                                 MessageIcon icon) {
    const UINT iconStyle = icon == MessageIcon::Information ? MB_ICONINFORMATION : MB_ICONSTOP;
    MessageBoxW(owner_, toWide(text).c_str(), toWide(caption).c_str(), MB_OK | iconStyle);
}

}  // namespace tavri::installer::win
