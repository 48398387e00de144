#pragma once
// Readable text of a Win32 error code (UTF-8, no trailing line break).
#include <windows.h>

#include <string>

namespace tavri::win {

std::string win32ErrorText(DWORD code);

}  // namespace tavri::win
