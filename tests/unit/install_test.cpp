// The install sequence on a fake port that logs every step. A failing step (a
// false, a program that fails or times out, an exception) stops everything
// after it and shows the one failure message.
#include <gtest/gtest.h>

#include <stdexcept>

#include "install_sequence.h"

namespace tavri::installer {
namespace {

using S = ProgramRun::Status;
struct Case {
    std::string folder = "C:\\Setup";
    bool copies = true, registryFile = true, textBoxReadable = true;
    ProgramRun regedit{S::Exited, 0}, regsvr{S::Exited, 0};
    std::string log;
};

struct FakePort : InstallPort {
    explicit FakePort(const Case& c) : c(c) {}
    void note(const std::string& entry) { log += entry + "; "; }
    std::string programFolder() override { return c.folder; }
    bool copyFile(const std::string& from, const std::string&) override {
        note("copy " + from);
        return c.copies;
    }
    bool existsInCurrentDirectory(std::string_view name) override {
        note("exists " + std::string(name));
        return c.registryFile;
    }
    // Not the line the installer would compute, so a line computed again shows.
    std::string registrationCommandLine() override {
        if (!c.textBoxReadable) throw std::runtime_error("window gone");
        return "regsvr32 /s T.dll";
    }
    ProgramRun runAndWait(const std::string& line, unsigned) override {
        note("run " + line);
        return line.starts_with("regedit") ? c.regedit : c.regsvr;
    }
    void showMessage(std::string_view, std::string_view, MessageIcon icon) override {
        note(icon == MessageIcon::Information ? "box I" : "box C");
    }
    const Case& c;
    std::string log;
};

TEST(InstallSequence, EachStepAndItsOutcome) {
    const std::string copy = "copy C:\\Setup\\Tavri.dll; ", fails = "box C; failed",
                      upToRegedit = copy + "exists install.reg; run regedit /s install.reg; ";
    const Case cases[] = {
        {.log = upToRegedit + "run regsvr32 /s T.dll; box I; installed"},
        {.folder = "C:\\", .copies = false, .log = "copy C:\\Tavri.dll; " + fails},
        {.registryFile = false, .log = copy + "exists install.reg; " + fails},
        {.textBoxReadable = false, .log = upToRegedit + fails},
        {.regedit = {S::Exited, 1}, .log = upToRegedit + fails},
        {.regedit = {S::TimedOut, 0}, .log = upToRegedit + fails},
        {.regsvr = {S::NotStarted, 0}, .log = upToRegedit + "run regsvr32 /s T.dll; " + fails},
    };
    for (const Case& c : cases) {
        FakePort port(c);
        const bool installed = runInstall(port) == InstallOutcome::Installed;
        EXPECT_EQ(port.log + (installed ? "installed" : "failed"), c.log);
    }
    // Two blanks after the tool's name, the path with forward slashes, in quotes.
    EXPECT_EQ(registrationCommandLineFor("D:\\a b\\T.dll"), "regsvr32  /s \"D:/a b/T.dll\"");
}

}  // namespace
}  // namespace tavri::installer
