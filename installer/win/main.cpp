// Install.exe: shows Form1 and runs until it closes. The exit code tells how
// it ended: 0 installed, 1 install failed, 2 closed without installing.
#include <windows.h>

#include "form1.h"
#include "late_imports.h"
#include "system_dlls_only.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using tavri::installer::win::Form1;
    using tavri::installer::win::FormResult;
    // First of all: nothing but kernel32 and the C runtime is loaded yet.
    tavri::installer::win::loadSystemDllsOnly();
    if (!tavri::installer::win::bindLateImports()) return static_cast<int>(FormResult::Failed);
    Form1 form(instance);
    if (!form.create(showCommand)) return static_cast<int>(FormResult::Failed);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (form.handleKeyboard(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(form.result());
}
