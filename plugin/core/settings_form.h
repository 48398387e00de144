#pragma once
// The settings form of one thread: holder of the credentials in memory and
// the window in which the user edits them. Created hidden with empty fields
// on first reference, discarded with its contents when the window closes.
#include <memory>
#include <string>

#include "ports.h"

namespace tavri {

struct SettingsFormServices {
    SettingsStore& store;
    SettingsWindowFactory& windows;
    MessageBoxes& messages;
    ProcessStarter& processes;
};

class SettingsForm : private SettingsWindowEvents {
public:
    explicit SettingsForm(SettingsFormServices services);
    ~SettingsForm() override;

    // The live window, created hidden and empty when there is none.
    SettingsWindow& window();
    // Whether the window exists now (window() would not create one).
    bool isLoaded() const { return current_ != nullptr; }

    // Text1 <- stored "username", Text2 <- stored "password". Does not show.
    void LoadSettings();
    // Shows the form modally and returns when it has closed. Throws
    // error::formAlreadyModal() when it is already shown modally.
    void ShowSettings();

private:
    void onSave() override;
    void onSiteButton() override;
    void onCloseBox() override;
    void discard();

    SettingsFormServices services_;
    std::shared_ptr<SettingsWindow> current_;
    std::weak_ptr<SettingsWindow> modal_;  // the instance inside ShowSettings, if any
};

// Where the web-site button leads, and the store's key names.
inline constexpr const char* kMakerSiteUrl = "https://www.tavri.example/";
inline constexpr const char* kUsernameKey = "username";
inline constexpr const char* kPasswordKey = "password";
inline constexpr const char* kAppTitle = "Tavri Plugin";

}  // namespace tavri
