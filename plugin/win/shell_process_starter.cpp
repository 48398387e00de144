#include "shell_process_starter.h"

#include "automation_error.h"
#include "handles.h"
#include "text.h"

namespace tavri::win {
namespace {

// The program a command line names (its first word, e.g. "explorer"), as
// the file of that name in the Windows folder: a program is never searched
// for, so none planted beside the host or in its current folder runs instead.
// The Windows folder shared by all users, not a terminal-server user's own.
std::wstring programInWindowsFolder(std::wstring_view commandLine) {
    const std::wstring_view name = commandLine.substr(0, commandLine.find(L' '));
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (name.empty() || length == 0 || length >= MAX_PATH) return {};
    std::wstring path(folder, length);
    if (path.back() != L'\\') path += L'\\';
    return path.append(name).append(L".exe");
}

}  // namespace

void ShellProcessStarter::start(std::string_view commandLine, int showStyle) {
    std::wstring line = toWide(commandLine);  // CreateProcessW may write into it
    const std::wstring program = programInWindowsFolder(line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showStyle);
    PROCESS_INFORMATION started{};
    if (program.empty() || !CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                                           0, nullptr, nullptr, &startup, &started))
        throw AutomationError(53, "File not found");
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
}

}  // namespace tavri::win
