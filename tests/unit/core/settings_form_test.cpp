#include "settings_form.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "fakes.h"

namespace tavri::testing {
namespace {

using ::testing::ElementsAre;

// The form of one thread on fakes, without a plug-in object.
struct FormRig {
    FakeStore store;
    FakeWindowFactory windows;
    FakeMessages messages;
    FakeProcesses processes;
    SettingsForm form{{store, windows, messages, processes}};
};

TEST(SettingsForm, CreatedHiddenAndEmptyOnFirstReferenceThenKept) {
    FormRig rig;
    rig.store.values["username"] = "stored";
    EXPECT_FALSE(rig.form.isLoaded());
    SettingsWindow& window = rig.form.window();
    EXPECT_EQ(window.accountName(), "");
    EXPECT_EQ(window.password(), "");
    EXPECT_FALSE(rig.windows.last->shown);
    window.setAccountName("typed");
    EXPECT_EQ(&rig.form.window(), &window);
    EXPECT_EQ(rig.form.window().accountName(), "typed");
    EXPECT_EQ(rig.windows.created, 1);
}

TEST(SettingsForm, LoadSettingsFillsFieldsFromTheStoreWithoutShowing) {
    FormRig rig;
    rig.form.LoadSettings();
    EXPECT_EQ(rig.form.window().accountName(), "") << "nothing stored reads as empty";
    rig.store.values = {{"username", "bob smith"}, {"password", "p&ss word"}};
    rig.form.window().setPassword("edit");
    rig.form.LoadSettings();
    EXPECT_EQ(rig.form.window().accountName(), "bob smith");
    EXPECT_EQ(rig.form.window().password(), "p&ss word");
    EXPECT_EQ(rig.windows.created, 1);
    EXPECT_THAT(rig.windows.log, ElementsAre("create 1"));
}

TEST(SettingsForm, CloseBoxDiscardsTheFormAndStoresNothing) {
    FormRig rig;
    rig.store.values = {{"username", "old"}, {"password", "oldpw"}};
    rig.form.LoadSettings();
    rig.windows.scripts.push_back([](FakeWindow& window, SettingsWindowEvents& events) {
        window.type("new", "newpw");
        events.onCloseBox();
    });
    rig.form.ShowSettings();
    EXPECT_TRUE(rig.store.writes.empty());
    EXPECT_FALSE(rig.form.isLoaded());
    EXPECT_THAT(rig.windows.log,
                ElementsAre("create 1", "show 1", "close 1", "return 1", "destroy 1"));

    // The next reference gets a fresh, empty form; loading it shows the old values.
    EXPECT_EQ(rig.form.window().accountName(), "");
    EXPECT_EQ(rig.windows.created, 2);
    rig.form.LoadSettings();
    EXPECT_EQ(rig.form.window().accountName(), "old");
    EXPECT_EQ(rig.form.window().password(), "oldpw");
}

TEST(SettingsForm, SaveWritesBothValuesInOrderThenDiscards) {
    FormRig rig;
    rig.form.LoadSettings();
    rig.windows.scripts.push_back(typeAndSave("carol", " p & = w "));
    rig.form.ShowSettings();
    EXPECT_THAT(rig.store.writes, ElementsAre(std::pair<std::string, std::string>{"username", "carol"},
                                              std::pair<std::string, std::string>{"password", " p & = w "}));
    EXPECT_FALSE(rig.form.isLoaded());
    // The instance lives until its modal loop has returned.
    EXPECT_THAT(rig.windows.log,
                ElementsAre("create 1", "show 1", "close 1", "return 1", "destroy 1"));
}

TEST(SettingsForm, SavingEmptyFieldsStoresEmptyStrings) {
    FormRig rig;
    rig.store.values = {{"username", "old"}, {"password", "oldpw"}};
    rig.windows.scripts.push_back(typeAndSave("", ""));
    rig.form.ShowSettings();
    EXPECT_EQ(rig.store.values["username"], "");
    EXPECT_EQ(rig.store.values["password"], "");
}

TEST(SettingsForm, StoreFailureIsShownAndKeepsTheFormWithItsText) {
    FormRig rig;
    rig.store.failWrites = true;
    std::string keptAccount, keptPassword;
    bool stillOpen = false;
    rig.windows.scripts.push_back([&](FakeWindow& window, SettingsWindowEvents& events) {
        window.type("dave", "secret");
        events.onSave();
        stillOpen = !window.closed && rig.form.isLoaded();
        keptAccount = rig.form.window().accountName();
        keptPassword = rig.form.window().password();
        events.onCloseBox();
    });
    EXPECT_NO_THROW(rig.form.ShowSettings());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(keptAccount, "dave");
    EXPECT_EQ(keptPassword, "secret");
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].caption, "Tavri Plugin");
    EXPECT_EQ(rig.messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_NE(rig.messages.shown[0].text.find("could not be saved"), std::string::npos);
    EXPECT_NE(rig.messages.shown[0].text.find("Path/File access error"), std::string::npos);
    EXPECT_TRUE(rig.store.values.empty());
}

TEST(SettingsForm, ShowingWhileAlreadyModalFailsAndShowsNothing) {
    FormRig rig;
    std::int32_t nested = 0;
    rig.windows.scripts.push_back([&](FakeWindow&, SettingsWindowEvents& events) {
        nested = errorNumberOf([&] { rig.form.ShowSettings(); });
        events.onCloseBox();
    });
    rig.form.ShowSettings();
    EXPECT_EQ(nested, 400);
    EXPECT_THAT(rig.windows.log,
                ElementsAre("create 1", "show 1", "close 1", "return 1", "destroy 1"));
    EXPECT_TRUE(rig.messages.shown.empty());

    // Once closed, the form can be shown again.
    rig.windows.scripts.push_back(closeBox());
    EXPECT_NO_THROW(rig.form.ShowSettings());
    EXPECT_EQ(rig.windows.created, 2);
}

TEST(SettingsForm, FailedModalShowingDoesNotBlockTheNextOne) {
    FormRig rig;
    rig.windows.scripts.push_back([](FakeWindow& window, SettingsWindowEvents&) {
        window.close();
        throw std::runtime_error("window could not be shown");
    });
    EXPECT_THROW(rig.form.ShowSettings(), std::runtime_error);
    rig.windows.scripts.push_back(closeBox());
    EXPECT_NO_THROW(rig.form.ShowSettings());
}

TEST(SettingsForm, LoadingWhileShownOverwritesUnsavedEntries) {
    FormRig rig;
    rig.store.values = {{"username", "stored"}, {"password", "storedpw"}};
    rig.windows.scripts.push_back([&](FakeWindow& window, SettingsWindowEvents& events) {
        window.type("typing", "typing");
        rig.form.LoadSettings();
        EXPECT_EQ(window.accountName(), "stored");
        EXPECT_EQ(window.password(), "storedpw");
        events.onCloseBox();
    });
    rig.form.ShowSettings();
    EXPECT_EQ(rig.windows.created, 1);
}

TEST(SettingsForm, SiteButtonStartsExplorerMinimizedAndKeepsTheFormOpen) {
    FormRig rig;
    bool stillOpen = false;
    rig.windows.scripts.push_back([&](FakeWindow& window, SettingsWindowEvents& events) {
        events.onSiteButton();
        stillOpen = !window.closed;
        events.onCloseBox();
    });
    rig.form.ShowSettings();
    EXPECT_TRUE(stillOpen);
    EXPECT_THAT(rig.processes.started,
                ElementsAre(std::pair<std::string, int>{"explorer https://www.tavri.example/", 2}));
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(SettingsForm, SiteButtonFailureIsShownNotThrown) {
    FormRig rig;
    rig.processes.fail = true;
    rig.windows.scripts.push_back([&](FakeWindow&, SettingsWindowEvents& events) {
        EXPECT_NO_THROW(events.onSiteButton());
        events.onCloseBox();
    });
    rig.form.ShowSettings();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].caption, "Tavri Plugin");
    EXPECT_NE(rig.messages.shown[0].text.find("File not found"), std::string::npos);
}

}  // namespace
}  // namespace tavri::testing
