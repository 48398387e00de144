#include "ansi_text.h"

#include <windows.h>

#include <algorithm>

#include "text.h"

namespace tavri::win {

std::string ansiToUtf8(std::string_view ansi) {
    // Every ANSI code page keeps 0x00-0x7F as ASCII, which UTF-8 keeps too.
    if (std::all_of(ansi.begin(), ansi.end(), [](char c) { return (c & 0x80) == 0; }))
        return std::string(ansi);
    const int size = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), n);
    return toUtf8(wide);
}

std::string utf8ToAnsi(std::string_view utf8) {
    const std::wstring wide = toWide(utf8);
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

}  // namespace tavri::win
