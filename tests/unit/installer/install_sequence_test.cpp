// The install sequence on a fake port that logs every call; each step can be
// made to fail. A failure stops everything after it and shows one message.
#include "install_sequence.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

namespace tavri::installer {
namespace {

struct FakePort : InstallPort {
    void note(const std::string& entry) { log += (log.empty() ? "" : "; ") + entry; }
    std::string programFolder() override { return "C:\\Downloads\\Tavri"; }
    bool copyFile(const std::string& from, const std::string& to) override {
        note("copy " + from + " -> " + to);
        if (copyThrows) throw std::runtime_error("disk gone");
        return copySucceeds;
    }
    bool existsInCurrentDirectory(std::string_view name) override {
        note("exists " + std::string(name));
        return registryFilePresent;
    }
    std::string registrationCommandLine() override {
        if (textBoxThrows) throw std::runtime_error("window gone");
        return textBox;
    }
    ProgramRun runAndWait(const std::string& line, unsigned) override {
        note("run " + line);
        const auto it = runs.find(line);
        return it != runs.end() ? it->second : ProgramRun{ProgramRun::Status::Exited, 0};
    }
    void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override {
        note(std::string(icon == MessageIcon::Information ? "I " : "C ") + std::string(caption) +
             ": " + std::string(text));
    }

    bool copySucceeds = true, copyThrows = false, registryFilePresent = true, textBoxThrows = false;
    std::string textBox = registrationCommandLineFor(kDestinationFile);
    std::map<std::string, ProgramRun> runs;  // by command line; others exit 0
    std::string log;
};

TEST(InstallSequence, EachStepAndItsOutcome) {
    using S = ProgramRun::Status;
    const std::string regedit = "regedit /s install.reg",
                      regsvr = "regsvr32  /s \"C:/Program Files/Messenger Plus! 2/Plugins/Tavri.dll\"",
                      copy = "copy C:\\Downloads\\Tavri\\Tavri.dll -> C:\\Program Files\\Messenger "
                             "Plus! 2\\Plugins\\Tavri.dll",
                      upToRegedit = copy + "; exists install.reg; run " + regedit,
                      fail = "; C Tavri Installer: PLEASE CLOSE MSN. THE INSTALLER CANNOT CONTINUE!";
    struct Case {
        const char* name;
        std::function<void(FakePort&)> arrange;
        std::string log;
    } const cases[] = {
        {"every step succeeds", [](FakePort&) {}, upToRegedit + "; run " + regsvr +
         "; I Tavri Installer: Done! Please restart MSN Messenger for the plugin to come into affect."},
        {"the text box holds another line",
         [](FakePort& p) { p.textBox = "regsvr32 /s \"D:/x/Tavri.dll\""; },
         upToRegedit + "; run regsvr32 /s \"D:/x/Tavri.dll\"; I Tavri Installer: Done! Please "
         "restart MSN Messenger for the plugin to come into affect."},
        {"copy fails (host running holds the file)", [](FakePort& p) { p.copySucceeds = false; }, copy + fail},
        {"copy throws", [](FakePort& p) { p.copyThrows = true; }, copy + fail},
        {"registry file missing", [](FakePort& p) { p.registryFilePresent = false; },
         copy + "; exists install.reg" + fail},
        {"registry editor not started", [&](FakePort& p) { p.runs[regedit] = {S::NotStarted, 0}; }, upToRegedit + fail},
        {"registry editor exits 1", [&](FakePort& p) { p.runs[regedit] = {S::Exited, 1}; }, upToRegedit + fail},
        {"registry editor times out", [&](FakePort& p) { p.runs[regedit] = {S::TimedOut, 0}; }, upToRegedit + fail},
        {"text box unreadable", [](FakePort& p) { p.textBoxThrows = true; }, upToRegedit + fail},
        {"registration not started", [&](FakePort& p) { p.runs[regsvr] = {S::NotStarted, 0}; },
         upToRegedit + "; run " + regsvr + fail},
        {"registration fails (exit 3)", [&](FakePort& p) { p.runs[regsvr] = {S::Exited, 3}; },
         upToRegedit + "; run " + regsvr + fail},
        {"registration times out", [&](FakePort& p) { p.runs[regsvr] = {S::TimedOut, 0}; },
         upToRegedit + "; run " + regsvr + fail},
    };
    for (const Case& c : cases) {
        FakePort port;
        c.arrange(port);
        const InstallOutcome outcome = runInstall(port);
        EXPECT_EQ(outcome, c.log.ends_with(fail) ? InstallOutcome::Failed : InstallOutcome::Installed) << c.name;
        EXPECT_EQ(port.log, c.log) << c.name;
    }
}

TEST(InstallSequence, Paths) {
    struct Case {
        std::string got, expected;
    } const cases[] = {
        {sourceFile("C:\\Program Files\\Tavri"), "C:\\Program Files\\Tavri\\Tavri.dll"},
        {sourceFile("C:\\"), "C:\\Tavri.dll"},
        {sourceFile("D:/setup/"), "D:/setup/Tavri.dll"},
        {sourceFile("\\\\server\\share\\setup"), "\\\\server\\share\\setup\\Tavri.dll"},
        {registrationCommandLineFor("D:\\a b\\T.dll"), "regsvr32  /s \"D:/a b/T.dll\""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

}  // namespace
}  // namespace tavri::installer
