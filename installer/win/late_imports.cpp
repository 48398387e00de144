// Install.exe imports only kernel32 and the C runtime when Windows loads it:
// a DLL that Windows loads with the program (and those DLLs' own imports)
// would be searched for in the program's folder first, before any code of
// ours could say otherwise. Its calls into the other system DLLs stay
// ordinary calls in the code: each goes through the import pointer that the
// compiler names (__imp_...), and this file defines those pointers instead of
// the import libraries. A call missing from the list below links against the
// import library again, which the planted-DLL test sees.
#include "late_imports.h"

#include <windows.h>

#include <string>

// The import pointer's name: on 32-bit x86 with the stdcall decoration
// (the bytes of arguments).
#ifdef _WIN64
#define TAVRI_IMPORT_POINTER(name, bytes) "__imp_" #name
#define TAVRI_WINDOW_LONG(X) X(user32, GetWindowLongPtrW, 8) X(user32, SetWindowLongPtrW, 12)
#else
#define TAVRI_IMPORT_POINTER(name, bytes) "__imp__" #name "@" #bytes
#define TAVRI_WINDOW_LONG(X) X(user32, GetWindowLongW, 8) X(user32, SetWindowLongW, 12)
#endif

// X(dll, function, bytes of arguments on 32-bit x86)
// clang-format off
#define TAVRI_LATE_IMPORTS(X) \
    X(user32, AdjustWindowRectEx, 16) \
    X(user32, CallWindowProcW, 20) \
    X(user32, CreateWindowExW, 48) \
    X(user32, DefWindowProcW, 16) \
    X(user32, DestroyWindow, 4) \
    X(user32, DispatchMessageW, 4) \
    X(user32, EnableWindow, 8) \
    X(user32, GetDC, 4) \
    X(user32, GetFocus, 0) \
    X(user32, GetKeyState, 4) \
    X(user32, GetMessageW, 16) \
    X(user32, GetNextDlgTabItem, 12) \
    X(user32, GetParent, 4) \
    X(user32, GetSystemMetrics, 4) \
    X(user32, GetWindowTextLengthW, 4) \
    X(user32, GetWindowTextW, 12) \
    X(user32, IsChild, 8) \
    X(user32, IsWindowEnabled, 4) \
    X(user32, LoadCursorW, 8) \
    X(user32, MessageBoxW, 16) \
    X(user32, MsgWaitForMultipleObjects, 20) \
    X(user32, PeekMessageW, 20) \
    X(user32, PostMessageW, 16) \
    X(user32, PostQuitMessage, 4) \
    X(user32, RegisterClassExW, 4) \
    X(user32, ReleaseDC, 8) \
    X(user32, SendMessageW, 16) \
    X(user32, SetFocus, 4) \
    X(user32, ShowWindow, 8) \
    X(user32, TranslateMessage, 4) \
    X(user32, UpdateWindow, 4) \
    X(gdi32, GetDeviceCaps, 8) \
    X(gdi32, GetStockObject, 4) \
    X(shell32, SHGetFolderPathW, 20) \
    TAVRI_WINDOW_LONG(X)
// clang-format on

#define TAVRI_DEFINE_POINTER(dll, name, bytes)                                     \
    extern "C" void* tavri_late_##name __asm__(TAVRI_IMPORT_POINTER(name, bytes)); \
    void* tavri_late_##name = nullptr;
TAVRI_LATE_IMPORTS(TAVRI_DEFINE_POINTER)

namespace tavri::installer::win {
namespace {

struct LateImport {
    const wchar_t* dll;
    const char* name;
    void** pointer;
};

#define TAVRI_LIST_ENTRY(dll, name, bytes) {L"\\" #dll L".dll", #name, &tavri_late_##name},
constexpr LateImport kLateImports[] = {TAVRI_LATE_IMPORTS(TAVRI_LIST_ENTRY)};

}  // namespace

bool bindLateImports() {
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    for (const LateImport& entry : kLateImports) {
        // Loaded once; a later entry of the same DLL finds it loaded.
        HMODULE dll = LoadLibraryW((std::wstring(system) + entry.dll).c_str());
        if (!dll) return false;
        *entry.pointer = reinterpret_cast<void*>(GetProcAddress(dll, entry.name));
        if (!*entry.pointer) return false;
    }
    return true;
}

}  // namespace tavri::installer::win
