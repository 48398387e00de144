#pragma once
// One fake for all of the core's ports, wired to a settings form and a plug-in
// object the way the COM layer wires them. Every visible effect goes to one
// log, in order, so a case states its whole expected story in one string:
//   create / destroy             a settings window instance made / freed
//   show NAME,PASSWORD           shown modally, with what its fields hold
//   close / end                  closed / its modal loop returned
//   save KEY=VALUE               a write to the settings store
//   box I|W CAPTION: TEXT        a message box (information or warning)
//   get URL                      a report fetch (URL after the test prefix)
//   start COMMAND STYLE          a process started
#include <gtest/gtest.h>

#include <charconv>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "automation_error.h"
#include "plugin.h"
#include "ports.h"
#include "settings_form.h"

namespace tavri::testing {

inline constexpr std::string_view kPrefix = "P?username=";
struct World;

class FakeWindow : public SettingsWindow {
public:
    FakeWindow(World& world, SettingsWindowEvents& events);
    ~FakeWindow() override;
    std::string accountName() const override { return name_; }
    std::string password() const override { return password_; }
    void setAccountName(std::string_view t) override { name_ = t; }
    void setPassword(std::string_view t) override { password_ = t; }
    void showModal() override;
    void close() override;
    void type(std::string_view name, std::string_view password) { name_ = name, password_ = password; }
    std::string fields() const { return name_ + "," + password_; }

    World& world;
    SettingsWindowEvents& events;
    bool closed = false;

private:
    std::string name_, password_;
};

// What the user does while the window is shown; the default presses the close box.
using Script = std::function<void(FakeWindow&)>;

struct World : SettingsStore, SettingsWindowFactory, MessageBoxes, ReportSource, NumberParser,
               AnsiCodec, ProcessStarter {
    void note(const std::string& entry) { log += (log.empty() ? "" : "; ") + entry; }

    std::string read(std::string_view key) override {
        const auto it = stored.find(std::string(key));
        return it == stored.end() ? std::string() : it->second;
    }
    void write(std::string_view key, std::string_view value) override {
        note("save " + std::string(key) + "=" + std::string(value));
        if (failWrites) throw AutomationError(75, "Path/File access error");
        stored[std::string(key)] = value;
    }
    std::unique_ptr<SettingsWindow> create(SettingsWindowEvents& events) override {
        return std::make_unique<FakeWindow>(*this, events);
    }
    void show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        const char* kind = icon == MessageIcon::Information ? "I" : icon == MessageIcon::Warning ? "W" : "C";
        note("box " + std::string(kind) + " " + std::string(caption) + ": " + std::string(text));
        if (whileOpen) whileOpen();
    }
    std::string getSource(const std::string& url) override {
        note("get " + (url.starts_with(kPrefix) ? url.substr(kPrefix.size()) : url));
        if (failFetch) throw std::runtime_error("connection reset");
        if (bodies.empty()) return fallback;
        std::string body = bodies.front();
        bodies.pop_front();
        return body;
    }
    // Blanks around, an optional sign, decimal digits.
    std::int32_t parseInt32(std::string_view text) override {
        const auto first = text.find_first_not_of(" \t");
        if (first == std::string_view::npos) throw error::typeMismatch();
        text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
        if (text.starts_with('+') && text.size() > 1 && text[1] != '-') text.remove_prefix(1);
        std::int32_t n = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (end != text.data() + text.size() || ec == std::errc::invalid_argument) throw error::typeMismatch();
        if (ec == std::errc::result_out_of_range) throw error::overflow();
        return n;
    }
    // A Latin-1 code page: two-byte UTF-8 below U+0100 becomes one byte.
    std::string toAnsi(std::string_view utf8) override {
        std::string out;
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size())
                out += static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F));
            else
                out += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return out;
    }
    void start(std::string_view commandLine, int showStyle) override {
        note("start " + std::string(commandLine) + " " + std::to_string(showStyle));
        if (failStart) throw AutomationError(53, "File not found");
    }

    std::string log;
    std::map<std::string, std::string> stored;
    std::deque<std::string> bodies;  // served in order, then `fallback`
    std::string fallback;
    std::deque<Script> scripts;      // one per modal showing
    std::function<void()> whileOpen; // runs while a box or the window is up
    bool failWrites = false, failStart = false, failFetch = false;
    FakeWindow* window = nullptr;    // the live instance, if any

    SettingsForm form{{*this, *this, *this, *this}};
    PluginServices services{form, *this, *this, *this, *this, std::string(kPrefix)};
    plugin plug{services};
};

inline FakeWindow::FakeWindow(World& w, SettingsWindowEvents& e) : world(w), events(e) {
    world.note("create");
    world.window = this;
}
inline FakeWindow::~FakeWindow() {
    world.note("destroy");
    if (world.window == this) world.window = nullptr;
}
inline void FakeWindow::showModal() {
    world.note("show " + fields());
    if (world.whileOpen) world.whileOpen();
    Script script = [](FakeWindow& w) { w.events.onCloseBox(); };
    if (!world.scripts.empty()) script = std::move(world.scripts.front()), world.scripts.pop_front();
    script(*this);
    if (!closed) ADD_FAILURE() << "a modal loop only returns once its window is closed";
    world.note("end");
}
inline void FakeWindow::close() {
    world.note("close");
    closed = true;
}

// The outcome of a call as one string: the value it returns ("empty", 42,
// 'text') or "error N" for an automation error.
inline std::string describe(const Value& v) {
    return v.isEmpty() ? "empty" : v.isInteger() ? v.toString() : "'" + v.asText() + "'";
}
template <typename Call>
std::string outcome(Call&& call) {
    try {
        if constexpr (std::is_void_v<decltype(call())>) return call(), "done";
        else if constexpr (std::is_same_v<decltype(call()), Value>) return describe(call());
        else return std::string(call());
    } catch (const AutomationError& e) {
        return "error " + std::to_string(e.number());
    }
}

}  // namespace tavri::testing
