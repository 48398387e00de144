#pragma once
// What the plug-in's behaviour needs from the platform. Windows adapters live
// in plugin/win; unit tests use fakes. All text is UTF-8.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tavri {

// Per-user settings (section "Data"). Missing keys read as "".
// write() throws AutomationError when the store cannot be written.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string read(std::string_view key) = 0;
    virtual void write(std::string_view key, std::string_view value) = 0;
};

// What a live settings window reports back to its owner.
class SettingsWindowEvents {
public:
    virtual ~SettingsWindowEvents() = default;
    virtual void onSave() = 0;        // "&save" pressed (button or Alt+S)
    virtual void onSiteButton() = 0;  // the maker's web-site button
    virtual void onCloseBox() = 0;    // the caption bar's close box
};

// One live instance of the settings window frmsett: created hidden with
// empty fields. Text1 is the account name, Text2 the password.
class SettingsWindow {
public:
    virtual ~SettingsWindow() = default;
    virtual std::string accountName() const = 0;
    virtual std::string password() const = 0;
    virtual void setAccountName(std::string_view text) = 0;
    virtual void setPassword(std::string_view text) = 0;
    // Shows the window modally; returns once it has been closed. Window
    // messages keep being dispatched meanwhile.
    virtual void showModal() = 0;
    // Closes the window for good (ends a running modal loop).
    virtual void close() = 0;
};

class SettingsWindowFactory {
public:
    virtual ~SettingsWindowFactory() = default;
    virtual std::unique_ptr<SettingsWindow> create(SettingsWindowEvents& events) = 0;
};

enum class MessageIcon { Information, Warning, Critical };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Modal box with an OK button; returns when dismissed.
    virtual void show(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
};

// Fetches a URL and returns the whole body as text; "" when nothing could be
// opened or read. Never throws for network trouble.
class ReportSource {
public:
    virtual ~ReportSource() = default;
    virtual std::string getSource(const std::string& url) = 0;
};

// The platform's locale-aware text-to-32-bit-integer conversion.
// Throws AutomationError 13 (not a number) or 6 (out of range).
class NumberParser {
public:
    virtual ~NumberParser() = default;
    virtual std::int32_t parseInt32(std::string_view text) = 0;
};

// Conversion of text to the system's ANSI code page (bytes).
class AnsiCodec {
public:
    virtual ~AnsiCodec() = default;
    virtual std::string toAnsi(std::string_view utf8) = 0;
};

// Starts a command line with a ShowWindow style, without waiting.
// Throws AutomationError when it cannot be started.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    virtual void start(std::string_view commandLine, int showStyle) = 0;
};

}  // namespace tavri
