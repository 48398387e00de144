#include "console_io.h"

#include "wide_text.h"

namespace plughost {
namespace {

bool isConsole(HANDLE h) {
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && h && GetConsoleMode(h, &mode);
}

}  // namespace

Output::Output(DWORD stdHandle) : handle_(GetStdHandle(stdHandle)), console_(isConsole(handle_)) {
    if (console_) {
        DWORD mode = 0;
        GetConsoleMode(handle_, &mode);
        SetConsoleMode(handle_, mode | 0x0004 /* ENABLE_VIRTUAL_TERMINAL_PROCESSING */);
    }
}

void Output::line(std::wstring_view text) {
    std::wstring all(text);
    all += L'\n';
    DWORD written = 0;
    if (console_) {
        WriteConsoleW(handle_, all.data(), static_cast<DWORD>(all.size()), &written, nullptr);
    } else {
        const std::string bytes = toUtf8(all);
        WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

LineInput::LineInput() : handle_(GetStdHandle(STD_INPUT_HANDLE)), console_(isConsole(handle_)) {}

bool LineInput::fill() {
    if (ended_ || !handle_ || handle_ == INVALID_HANDLE_VALUE) return false;
    DWORD got = 0;
    if (console_) {
        wchar_t buffer[512];
        if (!ReadConsoleW(handle_, buffer, 512, &got, nullptr) || got == 0) return false;
        pendingWide_.append(buffer, got);
    } else {
        char buffer[4096];
        if (!ReadFile(handle_, buffer, sizeof buffer, &got, nullptr) || got == 0) return false;
        pending_.append(buffer, got);
    }
    return true;
}

std::optional<std::wstring> LineInput::next() {
    for (;;) {
        std::wstring line;
        bool complete = false;
        if (console_) {
            const size_t end = pendingWide_.find(L'\n');
            if (end != std::wstring::npos) {
                line = pendingWide_.substr(0, end);
                pendingWide_.erase(0, end + 1);
                complete = true;
            }
        } else {
            // Split bytes first: a multi-byte character never contains '\n'.
            const size_t end = pending_.find('\n');
            if (end != std::string::npos) {
                line = toWide(std::string_view(pending_).substr(0, end));
                pending_.erase(0, end + 1);
                complete = true;
            }
        }
        if (complete) {
            if (!line.empty() && line.back() == L'\r') line.pop_back();
            return line;
        }
        if (!fill()) {
            ended_ = true;
            // A last line without a line break still counts.
            std::wstring rest = console_ ? std::move(pendingWide_) : toWide(pending_);
            pendingWide_.clear();
            pending_.clear();
            if (!rest.empty() && rest.back() == L'\r') rest.pop_back();
            if (rest.empty()) return std::nullopt;
            return rest;
        }
    }
}

std::wstring renderFormatting(std::wstring_view text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\x02')
            out += L"\x1b[1m";
        else if (c == L'\x0f')
            out += L"\x1b[0m";
        else
            out += c;
    }
    return out;
}

}  // namespace plughost
