#include "shell_process_starter.h"

#include "automation_error.h"
#include "handles.h"
#include "text.h"

namespace tavri::win {
namespace {

// A folder the system names, with its trailing backslash; empty when unknown.
std::wstring systemFolder(UINT(WINAPI* query)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH];
    const UINT length = query(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring folder(path, length);
    if (folder.back() != L'\\') folder += L'\\';
    return folder;
}

// The program a command line names (its first word, e.g. "explorer") by its
// full path: the Windows folder's (the one shared by all users, not a
// terminal-server user's own), else the system folder's. A program is never
// searched for, so none planted beside the host or in its current folder
// runs instead.
std::wstring programPath(std::wstring_view commandLine) {
    std::wstring file(commandLine.substr(0, commandLine.find(L' ')));
    if (file.empty()) return {};
    if (file.size() < 4 || lstrcmpiW(file.c_str() + file.size() - 4, L".exe") != 0) file += L".exe";
    for (const auto query : {GetSystemWindowsDirectoryW, GetSystemDirectoryW}) {
        const std::wstring folder = systemFolder(query);
        if (folder.empty()) continue;
        const std::wstring path = folder + file;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return path;
    }
    return {};
}

}  // namespace

void ShellProcessStarter::start(std::string_view commandLine, int showStyle) {
    std::wstring line = toWide(commandLine);  // CreateProcessW may write into it
    const std::wstring program = programPath(line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showStyle);
    PROCESS_INFORMATION started{};
    if (program.empty() || !CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                           nullptr, nullptr, &startup, &started))
        throw AutomationError(53, "File not found");
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
}

}  // namespace tavri::win
