#include "install_sequence.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavri::installer {
namespace {

// Records every call in order; each step can be made to fail.
class FakePort : public InstallPort {
public:
    std::string folder = "C:\\Downloads\\Tavri";
    bool copySucceeds = true;
    bool copyThrows = false;
    bool registryFilePresent = true;
    std::string textBox = registrationCommandLineFor(kDestinationFile);
    std::map<std::string, ProgramRun> runs;  // by command line; default: exits 0
    std::vector<std::string> calls;
    std::vector<unsigned> waitLimits;
    struct Shown { std::string caption, text; MessageIcon icon; };
    std::vector<Shown> messages;

    std::string programFolder() override { return folder; }
    bool copyFile(const std::string& from, const std::string& to) override {
        calls.push_back("copy " + from + " -> " + to);
        if (copyThrows) throw std::runtime_error("disk gone");
        return copySucceeds;
    }
    bool existsInCurrentDirectory(std::string_view name) override {
        calls.push_back("exists " + std::string(name));
        return registryFilePresent;
    }
    std::string registrationCommandLine() override {
        calls.push_back("read Text1");
        return textBox;
    }
    ProgramRun runAndWait(const std::string& line, unsigned limitMs) override {
        calls.push_back("run " + line);
        waitLimits.push_back(limitMs);
        auto it = runs.find(line);
        return it != runs.end() ? it->second : ProgramRun{ProgramRun::Status::Exited, 0};
    }
    void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) override {
        calls.push_back("message");
        messages.push_back({std::string(caption), std::string(text), icon});
    }
};

const std::string kRegedit = "regedit /s install.reg";
const std::string kRegistration =
    "regsvr32  /s \"C:/Program Files/Messenger Plus! 2/Plugins/Tavri.dll\"";

TEST(InstallSequence, SuccessRunsEveryStepInOrderThenTellsTheUser) {
    FakePort port;
    EXPECT_EQ(runInstall(port), InstallOutcome::Installed);
    const std::vector<std::string> expected = {
        "copy C:\\Downloads\\Tavri\\Tavri.dll -> "
        "C:\\Program Files\\Messenger Plus! 2\\Plugins\\Tavri.dll",
        "exists install.reg",
        "run regedit /s install.reg",
        "read Text1",
        "run " + kRegistration,
        "message",
    };
    EXPECT_EQ(port.calls, expected);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].caption, "Tavri Installer");
    EXPECT_EQ(port.messages[0].text,
              "Done! Please restart MSN Messenger for the plugin to come into affect.");
    EXPECT_EQ(port.messages[0].icon, MessageIcon::Information);
    for (unsigned limit : port.waitLimits) {
        EXPECT_GT(limit, 0u);
        EXPECT_LE(limit, 120000u) << "every wait is bounded";
    }
}

TEST(InstallSequence, RegistrationLineIsWhateverTheTextBoxHoldsAtInstallTime) {
    FakePort port;
    port.textBox = "regsvr32 /s \"D:/Elsewhere/Tavri.dll\"";
    EXPECT_EQ(runInstall(port), InstallOutcome::Installed);
    EXPECT_EQ(port.calls.at(4), "run regsvr32 /s \"D:/Elsewhere/Tavri.dll\"");
}

// Each failure: the calls that must have happened, then only the message.
struct FailureCase {
    const char* name;
    void (*arrange)(FakePort&);
    size_t stepsRun;  // calls before the failure message
};

void expectFailureAfter(FakePort& port, size_t stepsRun, const char* name) {
    SCOPED_TRACE(name);
    EXPECT_EQ(runInstall(port), InstallOutcome::Failed);
    ASSERT_EQ(port.calls.size(), stepsRun + 1) << "nothing runs after the failing step";
    EXPECT_EQ(port.calls.back(), "message");
    ASSERT_EQ(port.messages.size(), 1u) << "exactly one message, never the success one";
    EXPECT_EQ(port.messages[0].caption, "Tavri Installer");
    EXPECT_EQ(port.messages[0].text, "PLEASE CLOSE MSN. THE INSTALLER CANNOT CONTINUE!");
    EXPECT_EQ(port.messages[0].icon, MessageIcon::Critical);
}

TEST(InstallSequence, EveryFailingStepEndsInTheFailureMessageAndRunsNothingAfterIt) {
    const std::vector<FailureCase> cases = {
        {"copy fails (file in use, folder missing, source missing)",
         [](FakePort& p) { p.copySucceeds = false; }, 1},
        {"copy throws", [](FakePort& p) { p.copyThrows = true; }, 1},
        {"install.reg missing from the current directory",
         [](FakePort& p) { p.registryFilePresent = false; }, 2},
        {"registry editor cannot start",
         [](FakePort& p) { p.runs[kRegedit] = {ProgramRun::Status::NotStarted, 0}; }, 3},
        {"registry editor exits non-zero",
         [](FakePort& p) { p.runs[kRegedit] = {ProgramRun::Status::Exited, 1}; }, 3},
        {"registry editor does not finish in time",
         [](FakePort& p) { p.runs[kRegedit] = {ProgramRun::Status::TimedOut, 0}; }, 3},
        {"registration tool cannot start",
         [](FakePort& p) { p.runs[kRegistration] = {ProgramRun::Status::NotStarted, 0}; }, 5},
        {"registration fails (damaged plug-in file)",
         [](FakePort& p) { p.runs[kRegistration] = {ProgramRun::Status::Exited, 3}; }, 5},
        {"registration reports a failed DllRegisterServer",
         [](FakePort& p) { p.runs[kRegistration] = {ProgramRun::Status::Exited, 5}; }, 5},
        {"registration does not finish in time",
         [](FakePort& p) { p.runs[kRegistration] = {ProgramRun::Status::TimedOut, 0}; }, 5},
        {"text box emptied", [](FakePort& p) {
             p.textBox = "";
             p.runs[""] = {ProgramRun::Status::NotStarted, 0};
         }, 5},
    };
    for (const auto& c : cases) {
        FakePort port;
        c.arrange(port);
        expectFailureAfter(port, c.stepsRun, c.name);
    }
}

TEST(InstallSequence, SourceIsThePluginFileInTheProgramsOwnFolder) {
    EXPECT_EQ(sourceFile("C:\\Program Files\\Tavri"), "C:\\Program Files\\Tavri\\Tavri.dll");
    EXPECT_EQ(sourceFile("C:\\"), "C:\\Tavri.dll") << "a drive root gets no second separator";
    EXPECT_EQ(sourceFile("\\\\server\\share\\setup"), "\\\\server\\share\\setup\\Tavri.dll");
}

TEST(InstallSequence, RegistrationLineUsesForwardSlashesAndTwoBlanks) {
    EXPECT_EQ(registrationCommandLineFor(kDestinationFile), kRegistration);
}

}  // namespace
}  // namespace tavri::installer
