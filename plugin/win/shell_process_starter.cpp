#include "shell_process_starter.h"

#include "automation_error.h"
#include "handles.h"
#include "text.h"

namespace tavri::win {

void ShellProcessStarter::start(std::string_view commandLine, int showStyle) {
    std::wstring line = toWide(commandLine);  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showStyle);
    PROCESS_INFORMATION started{};
    if (line.empty() || !CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &started))
        throw AutomationError(53, "File not found");
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
}

}  // namespace tavri::win
