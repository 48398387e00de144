#include "settings_form.h"

#include <exception>
#include <string>

#include "automation_error.h"

namespace tavri {
namespace {

constexpr int kShowMinimized = 2;  // SW_SHOWMINIMIZED

}  // namespace

SettingsForm::SettingsForm(SettingsFormServices services) : services_(services) {}

SettingsForm::~SettingsForm() = default;

SettingsWindow& SettingsForm::window() {
    if (!current_) current_ = services_.windows.create(*this);
    return *current_;
}

void SettingsForm::LoadSettings() {
    SettingsWindow& form = window();
    form.setAccountName(services_.store.read(kUsernameKey));
    form.setPassword(services_.store.read(kPasswordKey));
}

void SettingsForm::ShowSettings() {
    window();
    // Closing the form discards it while its modal loop is still running, so
    // this call keeps its own reference until showModal() returns.
    const std::shared_ptr<SettingsWindow> form = current_;
    if (modal_.lock() == form) throw error::formAlreadyModal();

    struct ModalScope {
        std::weak_ptr<SettingsWindow>& slot;
        std::weak_ptr<SettingsWindow> outer;
        ~ModalScope() { slot = outer; }
    } scope{modal_, modal_};
    modal_ = form;
    form->showModal();
}

void SettingsForm::onSave() {
    const std::shared_ptr<SettingsWindow> form = current_;
    if (!form) return;
    try {
        const std::string previousName = services_.store.read(kUsernameKey);
        services_.store.write(kUsernameKey, form->accountName());
        try {
            services_.store.write(kPasswordKey, form->password());
        } catch (...) {
            // Never the new account name with the old password.
            try {
                services_.store.write(kUsernameKey, previousName);
            } catch (...) {
            }
            throw;
        }
    } catch (const std::exception& e) {
        // Keep the window open with what the user typed, so nothing is lost.
        services_.messages.show(std::string("The settings could not be saved: ") + e.what(),
                                kAppTitle, MessageIcon::Warning);
        return;
    }
    form->close();
    if (current_ == form) discard();
}

void SettingsForm::onSiteButton() {
    try {
        services_.processes.start(std::string("explorer ") + kMakerSiteUrl, kShowMinimized);
    } catch (const std::exception& e) {
        services_.messages.show(std::string("The web site could not be opened: ") + e.what(),
                                kAppTitle, MessageIcon::Warning);
    }
}

void SettingsForm::onCloseBox() {
    const std::shared_ptr<SettingsWindow> form = current_;
    if (!form) return;
    form->close();
    if (current_ == form) discard();
}

void SettingsForm::discard() { current_.reset(); }

}  // namespace tavri
