// Install.exe's calls into user32, gdi32 and shell32, bound at run time.
#pragma once

namespace tavri::installer::win {

// Loads user32, gdi32 and shell32 from the system folder by full path and
// points every call the program makes into them at the function. Call it
// once, after loadSystemDllsOnly and before any such call; false when a DLL
// or a function is missing (nothing may be called then).
bool bindLateImports();

}  // namespace tavri::installer::win
