#pragma once
// Fakes of the core's ports, and a rig that wires them to one plug-in object
// and its settings form the way the COM layer does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation_error.h"
#include "plugin.h"
#include "ports.h"
#include "settings_form.h"

namespace tavri::testing {

class FakeStore : public SettingsStore {
public:
    std::string read(std::string_view key) override {
        const auto it = values.find(std::string(key));
        return it == values.end() ? std::string() : it->second;
    }
    void write(std::string_view key, std::string_view value) override {
        writes.emplace_back(key, value);
        if (failWrites) throw AutomationError(75, "Path/File access error");
        values[std::string(key)] = value;
    }

    std::map<std::string, std::string> values;
    std::vector<std::pair<std::string, std::string>> writes;  // attempted, in order
    bool failWrites = false;
};

class FakeWindow;
// What the "user" does while a window is shown modally. The script must
// leave the window closed, as a real modal loop only returns then.
using UserScript = std::function<void(FakeWindow&, SettingsWindowEvents&)>;

// Shared record of every window's life, e.g. "create 1", "show 1", "close 1".
using WindowLog = std::vector<std::string>;

class FakeWindow : public SettingsWindow {
public:
    FakeWindow(int id, SettingsWindowEvents& events, WindowLog& log,
               std::deque<UserScript>& scripts)
        : id(id), events_(events), log_(log), scripts_(scripts) {
        note("create");
    }
    ~FakeWindow() override { note("destroy"); }

    std::string accountName() const override { return account_; }
    std::string password() const override { return password_; }
    void setAccountName(std::string_view t) override { account_ = t; }
    void setPassword(std::string_view t) override { password_ = t; }

    void showModal() override {
        note("show");
        shown = true;
        if (scripts_.empty()) {
            ADD_FAILURE() << "window " << id << " shown with no user script";
            close();
        } else {
            UserScript script = std::move(scripts_.front());
            scripts_.pop_front();
            script(*this, events_);
        }
        if (!closed) ADD_FAILURE() << "window " << id << " left open by its script";
        shown = false;
        note("return");
    }
    void close() override {
        note("close");
        closed = true;
    }

    // The user typing into the fields.
    void type(std::string_view account, std::string_view password) {
        account_ = account;
        password_ = password;
    }

    const int id;
    bool shown = false;
    bool closed = false;

private:
    void note(const char* what) { log_.push_back(std::string(what) + " " + std::to_string(id)); }

    SettingsWindowEvents& events_;
    WindowLog& log_;
    std::deque<UserScript>& scripts_;
    std::string account_, password_;
};

class FakeWindowFactory : public SettingsWindowFactory {
public:
    std::unique_ptr<SettingsWindow> create(SettingsWindowEvents& events) override {
        auto window = std::make_unique<FakeWindow>(++created, events, log, scripts);
        last = window.get();
        return window;
    }

    std::deque<UserScript> scripts;  // one per modal showing, in order
    WindowLog log;
    int created = 0;
    FakeWindow* last = nullptr;  // valid while the form holds it
};

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
};

class FakeMessages : public MessageBoxes {
public:
    void show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        shown.push_back({std::string(text), std::string(caption), icon});
        if (onShow) onShow();
    }
    std::vector<ShownMessage> shown;
    std::function<void()> onShow;  // runs while the box is "open"
};

class FakeReports : public ReportSource {
public:
    std::string getSource(const std::string& url) override {
        urls.push_back(url);
        if (failWith) failWith();
        if (bodies.empty()) return fallback;
        std::string body = std::move(bodies.front());
        bodies.pop_front();
        return body;
    }
    std::deque<std::string> bodies;  // served in order, then `fallback`
    std::string fallback;
    std::function<void()> failWith;  // e.g. throws, to stand for a broken fetch
    std::vector<std::string> urls;
};

// Loosely like VarI4FromStr: blanks around, optional sign, decimal digits.
class FakeNumbers : public NumberParser {
public:
    std::int32_t parseInt32(std::string_view text) override {
        const auto first = text.find_first_not_of(" \t");
        if (first == std::string_view::npos) throw error::typeMismatch();
        text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
        bool negative = false;
        if (text.front() == '+' || text.front() == '-') {
            negative = text.front() == '-';
            text.remove_prefix(1);
        }
        if (text.empty()) throw error::typeMismatch();
        std::int64_t n = 0;
        bool tooLarge = false;
        for (const char c : text) {
            if (c < '0' || c > '9') throw error::typeMismatch();
            n = n * 10 + (c - '0');
            if (n > std::int64_t{1} << 32) tooLarge = true, n = std::int64_t{1} << 32;
        }
        if (negative) n = -n;
        if (tooLarge || n < std::numeric_limits<std::int32_t>::min() ||
            n > std::numeric_limits<std::int32_t>::max()) {
            throw error::overflow();
        }
        return static_cast<std::int32_t>(n);
    }
};

// A Latin-1 "ANSI code page": code points below 256 become one byte, others "?".
class FakeAnsi : public AnsiCodec {
public:
    std::string toAnsi(std::string_view utf8) override {
        std::string out;
        for (std::size_t i = 0; i < utf8.size();) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            std::uint32_t cp = c;
            std::size_t length = 1;
            if (c >= 0xF0) cp = c & 0x07, length = 4;
            else if (c >= 0xE0) cp = c & 0x0F, length = 3;
            else if (c >= 0xC0) cp = c & 0x1F, length = 2;
            for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
                cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            }
            out += cp < 256 ? static_cast<char>(cp) : '?';
            i += length;
        }
        return out;
    }
};

class FakeProcesses : public ProcessStarter {
public:
    void start(std::string_view commandLine, int showStyle) override {
        started.emplace_back(commandLine, showStyle);
        if (fail) throw AutomationError(53, "File not found");
    }
    std::vector<std::pair<std::string, int>> started;
    bool fail = false;
};

inline constexpr const char* kPrefix = "https://portal.test/mydatamonitor/usage.txt?username=";

// One plug-in object with its thread's settings form, all on fakes.
struct Rig {
    FakeStore store;
    FakeWindowFactory windows;
    FakeMessages messages;
    FakeProcesses processes;
    FakeReports reports;
    FakeNumbers numbers;
    FakeAnsi ansi;
    SettingsForm form{{store, windows, messages, processes}};
    PluginServices services{form, messages, reports, numbers, ansi, kPrefix};
    plugin plug{services};

    void storeCredentials(const std::string& account, const std::string& password) {
        store.values["username"] = account;
        store.values["password"] = password;
    }
    std::string urlFor(const std::string& account, const std::string& password) const {
        return std::string(kPrefix) + account + "&password=" + password;
    }
};

// Scripts for the settings window.
inline UserScript closeBox() {
    return [](FakeWindow&, SettingsWindowEvents& events) { events.onCloseBox(); };
}
inline UserScript typeAndSave(std::string account, std::string password) {
    return [=](FakeWindow& window, SettingsWindowEvents& events) {
        window.type(account, password);
        events.onSave();
    };
}

// Runs `call` and returns the automation error number it throws (0 if none).
template <typename Call>
std::int32_t errorNumberOf(Call&& call) {
    try {
        call();
    } catch (const AutomationError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace tavri::testing
