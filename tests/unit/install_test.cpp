// The install sequence on a fake port that logs every step. A failing step (a
// false, a program that fails or times out, an exception) stops everything
// after it and shows the one failure message.
#include <gtest/gtest.h>

#include <stdexcept>

#include "install_sequence.h"

using namespace tavri::installer;
namespace {

using S = ProgramRun::Status;
struct Case {
    std::string folder = "C:\\Setup", programFiles = "";
    bool copies = true, registryFile = true, textBoxReadable = true;
    ProgramRun regedit{S::Exited, 0}, regsvr{S::Exited, 0};
    std::string expected = "";
};

// Answers as its case says and logs each step it is asked for.
struct FakePort : InstallPort, Case {
    explicit FakePort(const Case& c) : Case(c) {}
    template <typename Answer = bool>
    Answer note(const std::string& entry, Answer answer = {}) {
        log += entry + "; ";
        return answer;
    }
    std::string programFolder() override { return folder; }
    std::string programFilesFolder() override { return programFiles; }
    bool copyFile(const std::string& from, const std::string& to) override {
        return note("copy " + from + " to " + to, copies);
    }
    bool existsInCurrentDirectory(std::string_view name) override {
        return note("exists " + std::string(name), registryFile);
    }
    // Not the line the installer would compute, so a line computed again shows.
    std::string registrationCommandLine() override {
        return textBoxReadable ? "regsvr32 /s T.dll" : throw std::runtime_error("window gone");
    }
    ProgramRun runAndWait(const std::string& line, unsigned) override {
        return note("run " + line, line.starts_with("regedit") ? regedit : regsvr);
    }
    void showMessage(std::string_view, std::string_view, MessageIcon icon) override {
        note(icon == MessageIcon::Information ? "box I" : "box C");
    }
    std::string log;
};

// The file goes below the Program Files folder Windows names, else to the
// fixed path.
TEST(InstallSequence, EachStepAndItsOutcome) {
    const std::string plugin = "\\Messenger Plus! 2\\Plugins\\Tavri.dll; ",
                      copy = "copy C:\\Setup\\Tavri.dll to C:\\Program Files" + plugin,
                      fails = "box C; failed",
                      upToRegedit = copy + "exists install.reg; run regedit /s install.reg; ";
    const Case cases[] = {
        {.expected = upToRegedit + "run regsvr32 /s T.dll; box I; installed"},
        {.folder = "C:\\",
         .programFiles = "D:\\Programme",
         .copies = false,
         .expected = "copy C:\\Tavri.dll to D:\\Programme" + plugin + fails},
        {.registryFile = false, .expected = copy + "exists install.reg; " + fails},
        {.textBoxReadable = false, .expected = upToRegedit + fails},
        {.regedit = {S::Exited, 1}, .expected = upToRegedit + fails},
        {.regedit = {S::TimedOut, 0}, .expected = upToRegedit + fails},
        {.regsvr = {S::NotStarted, 0}, .expected = upToRegedit + "run regsvr32 /s T.dll; " + fails},
    };
    for (const Case& c : cases) {
        FakePort port(c);
        const bool installed = runInstall(port) == InstallOutcome::Installed;
        EXPECT_EQ(port.log + (installed ? "installed" : "failed"), c.expected);
    }
}

}  // namespace
