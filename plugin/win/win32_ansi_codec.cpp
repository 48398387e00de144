#include "win32_ansi_codec.h"

#include <windows.h>

#include "text.h"

namespace tavri::win {

std::string Win32AnsiCodec::toAnsi(std::string_view utf8) {
    const std::wstring wide = toWide(utf8);
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

}  // namespace tavri::win
