#include "chat.h"

#include "dispatch_call.h"

namespace plughost {
namespace {

// Character by character after both are upper-cased the same way whatever
// the user's language (the invariant locale's mapping).
std::wstring upperCase(std::wstring_view text) {
    std::wstring upper(text);
    if (!upper.empty())
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                     upper.data(), static_cast<int>(upper.size()));
    return upper;
}

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && upperCase(a) == upperCase(b);
}

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

Chat::Chat(std::vector<std::unique_ptr<LoadedPlugin>>& plugins, IDispatch* conversation,
           Output& out, Output& err, bool raw)
    : plugins_(plugins), conversation_(conversation), out_(out), err_(err), raw_(raw) {}

void Chat::typeLine(const std::wstring& line) {
    if (runCommand(line)) return;
    show(expandTags(line));
}

bool Chat::runCommand(const std::wstring& line) {
    if (line.empty() || line[0] != L'/') return false;
    size_t end = 0;
    while (end < line.size() && !isBlank(line[end]))
        ++end;
    const std::wstring command = line.substr(0, end);
    const std::wstring arg = end < line.size() ? line.substr(end + 1) : std::wstring();
    for (auto& plugin : plugins_) {
        for (const auto& published : plugin->commands()) {
            if (!equalsIgnoringCase(std::wstring_view(command).substr(1), published.word)) continue;
            try {
                const auto result = plugin->parseCommand(command, arg, conversation_);
                if (!result) continue;  // not taken: another plug-in, or plain text
                if (!result->empty()) show(*result);
                return true;
            } catch (const CallFailure& failure) {
                err_.line(plugin->name() + L": " + command + L" failed: " + failure.text());
                return true;
            }
        }
    }
    return false;
}

std::wstring Chat::expandTags(const std::wstring& line) {
    std::wstring out;
    size_t i = 0;
    while (i < line.size()) {
        bool replaced = false;
        for (auto& plugin : plugins_) {
            for (const auto& tag : plugin->tags()) {
                const size_t n = tag.text.size();
                if (n == 0 || line.size() - i < n) continue;
                const std::wstring typed = line.substr(i, n);
                if (!equalsIgnoringCase(typed, tag.text)) continue;
                try {
                    if (const auto result = plugin->parseTag(typed, conversation_)) {
                        out += *result;
                        i += n;
                        replaced = true;
                    }
                } catch (const CallFailure& failure) {
                    err_.line(plugin->name() + L": " + typed + L" failed: " + failure.text());
                }
                if (replaced) break;
            }
            if (replaced) break;
        }
        if (!replaced) out += line[i++];
    }
    return out;
}

void Chat::show(const std::wstring& text) { out_.line(raw_ ? text : renderFormatting(text)); }

}  // namespace plughost
