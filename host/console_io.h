#pragma once
// Text in and out of the host: UTF-16 to a console window, UTF-8 bytes to
// pipes and files; chat lines from standard input, one per line.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace plughost {

class Output {
public:
    explicit Output(DWORD stdHandle);
    void line(std::wstring_view text);

private:
    HANDLE handle_;
    bool console_;
};

class LineInput {
public:
    LineInput();
    // The next line without its line break; nothing at end of input.
    std::optional<std::wstring> next();

private:
    bool fill();

    HANDLE handle_;
    bool console_;
    std::string pending_;       // bytes read from a pipe or file, not yet a line
    std::wstring pendingWide_;  // characters read from a console
    bool ended_ = false;
};

// The host's formatting codes as terminal attributes: U+0002 bold on,
// U+000F back to plain.
std::wstring renderFormatting(std::wstring_view text);

}  // namespace plughost
