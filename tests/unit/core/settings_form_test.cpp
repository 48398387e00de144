// The settings form of a thread: created hidden and empty, loaded from the
// store, shown modally, discarded when its window closes.
#include "fakes.h"

namespace tavri::testing {
namespace {

TEST(SettingsForm, Lifecycle) {
    World w;
    w.stored = {{"username", "old"}, {"password", "oldpw"}};
    SettingsWindow& first = w.form.window();
    first.setAccountName("typed");
    EXPECT_EQ(&w.form.window(), &first) << "one instance until it closes";
    w.note("fields " + w.window->fields());
    w.form.LoadSettings();  // as at start-up: filled, not shown
    w.note("fields " + w.window->fields());
    w.scripts.push_back([](FakeWindow& f) { f.close(), throw AutomationError(7, "Out of memory"); });
    w.note(outcome([&] { w.form.ShowSettings(); }));
    w.note(outcome([&] { w.form.ShowSettings(); }));
    w.form.window();
    w.note("fields " + w.window->fields());  // a fresh, empty form
    w.stored.clear();
    w.form.LoadSettings();
    w.note("fields " + w.window->fields());  // nothing stored reads as empty
    EXPECT_EQ(w.log, "create; fields typed,; fields old,oldpw; show old,oldpw; close; error 7; "
                     "show old,oldpw; close; end; destroy; done; create; fields ,; fields ,");
}

// Shown with the stored values loaded; what the user does, and what follows.
TEST(SettingsForm, WhileShown) {
    struct Case {
        const char* name;
        Script user;
        std::string log, storedAfter;
        bool failWrites = false, failStart = false;
    } const cases[] = {
        {"close box: nothing stored", nullptr, "close; end; destroy", "old,oldpw"},
        {"save: both values, then discarded",
         [](FakeWindow& f) { f.type("carol", " p & = w "), f.events.onSave(); },
         "save username=carol; save password= p & = w ; close; end; destroy", "carol, p & = w "},
        {"save empty fields", [](FakeWindow& f) { f.type("", ""), f.events.onSave(); },
         "save username=; save password=; close; end; destroy", ","},
        {"store fails: message, form kept with its text",
         [](FakeWindow& f) {
             f.type("dave", "secret"), f.events.onSave();
             f.world.note("fields " + f.world.form.window().accountName() + "," + f.password());
             f.events.onCloseBox();
         },
         "save username=dave; box W Tavri Plugin: The settings could not be saved: Path/File "
         "access error; fields dave,secret; close; end; destroy", "old,oldpw", true},
        {"site button: the maker's site, minimized; form stays",
         [](FakeWindow& f) { f.events.onSiteButton(), f.events.onCloseBox(); },
         "start explorer https://www.tavri.example/ 2; close; end; destroy", "old,oldpw"},
        {"site button fails: message",
         [](FakeWindow& f) { f.events.onSiteButton(), f.events.onCloseBox(); },
         "start explorer https://www.tavri.example/ 2; box W Tavri Plugin: The web site could not "
         "be opened: File not found; close; end; destroy", "old,oldpw", false, true},
        {"loading again replaces unsaved entries",
         [](FakeWindow& f) {
             f.type("typing", "typing"), f.world.form.LoadSettings();
             f.world.note("fields " + f.fields()), f.events.onCloseBox();
         },
         "fields old,oldpw; close; end; destroy", "old,oldpw"},
        {"showing again while shown fails",
         [](FakeWindow& f) {
             f.world.note(outcome([&] { f.world.form.ShowSettings(); })), f.events.onCloseBox();
         },
         "error 400; close; end; destroy", "old,oldpw"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        World w;
        w.stored = {{"username", "old"}, {"password", "oldpw"}};
        w.failWrites = c.failWrites;
        w.failStart = c.failStart;
        if (c.user) w.scripts.push_back(c.user);
        w.form.LoadSettings();
        w.form.ShowSettings();
        EXPECT_EQ(w.log, "create; show old,oldpw; " + c.log);
        EXPECT_EQ(w.read("username") + "," + w.read("password"), c.storedAfter);
    }
}

}  // namespace
}  // namespace tavri::testing
