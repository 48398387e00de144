#include "settings_form.h"

namespace tavri {

SettingsForm::SettingsForm(SettingsFormServices services) : services_(services) {}
SettingsForm::~SettingsForm() = default;

SettingsWindow& SettingsForm::window() {
    if (!current_) current_ = services_.windows.create(*this);
    return *current_;
}
void SettingsForm::LoadSettings() {}
void SettingsForm::ShowSettings() {}
void SettingsForm::onSave() {}
void SettingsForm::onSiteButton() {}
void SettingsForm::onCloseBox() {}
void SettingsForm::discard() { current_.reset(); }

}  // namespace tavri
