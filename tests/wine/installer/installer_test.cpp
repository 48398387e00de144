// installer_test: Install.exe under Wine, driven like a user: a release
// folder laid out as the download is, a button pressed, the message it ends
// with read, and what it left in the prefix looked at. The order of the
// steps and what a failing step stops are the install sequence's own tests
// (tests/unit/install_test.cpp); here each row is what only Windows shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "wintest.h"

namespace {

using namespace wintest;
namespace fs = std::filesystem;

// Where a 32-bit English Windows puts the plug-in, and the two endings.
const fs::path kDestination = L"C:\\Program Files\\Messenger Plus! 2\\Plugins\\Tavri.dll";
const std::wstring kDone =
    L"Tavri Installer: Done! Please restart MSN Messenger for the plugin to come into affect.";
const std::wstring kFailed = L"Tavri Installer: PLEASE CLOSE MSN. THE INSTALLER CANNOT CONTINUE!";
const wchar_t kHostKey[] = L"SOFTWARE\\Messenger Plus! 2\\Plugins";

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What the prefix holds: the plug-in file ("build" for the one built, its
// bytes otherwise, "none"), the host's listing, and the plug-in's class.
std::string installState() {
    bool listed = false;
    readString(HKEY_LOCAL_MACHINE, kHostKey, L"Tavri", &listed);
    const bool registered =
        !readString(HKEY_CLASSES_ROOT, L"TavriPlugin.plugin\\CLSID", nullptr).empty();
    const std::string bytes = readBytes(kDestination);
    return "file=" +
           (!fs::exists(kDestination)                    ? "none"
            : bytes == readBytes(besideMe(L"Tavri.dll")) ? "build"
                                                         : bytes) +
           " listed=" + (listed ? "yes" : "no") + " registered=" + (registered ? "yes" : "no");
}
// The first descendant of parent of this class with this text.
HWND findChild(HWND parent, const wchar_t* cls, const wchar_t* text) {
    for (HWND c : children(parent)) {
        if (className(c) == cls && windowText(c) == text) return c;
        if (HWND below = findChild(c, cls, text)) return below;
    }
    return nullptr;
}

const std::string kNothing = "file=none listed=no registered=no";
const std::string kInstalled = "file=build listed=yes registered=yes";

const wchar_t kCloseWhileInstalling[] = L"&Install, then the close box";

// Starts Install.exe from `folder` in `currentDirectory`, presses `button` and
// tells how it ended: the message it showed ("done (i)" or "failed (x)", with
// its icon) and its exit code.
std::string run(const fs::path& folder, const fs::path& currentDirectory,
                const std::wstring& button) {
    Process process(L"\"" + (folder / L"Install.exe").wstring() + L"\"",
                    currentDirectory.wstring());
    const HWND form = process.started() ? waitForWindow({process.pid()}, 20000) : nullptr;
    if (!form) return "no installer window";
    if (button == L"Alt+i")  // the access key, typed in lower case
        EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == form; }) &&
                    pressChord(form, {VK_MENU, 'I'}));
    else
        clickButton(findChild(form, L"Button",
                              button == kCloseWhileInstalling ? L"&Install" : button.c_str()));
    if (button == kCloseWhileInstalling) PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    std::string ending;
    if (button != L"&Cancel") {
        // Registration under Wine takes seconds; the installer waits up to a minute per program.
        const MessageBoxView box = dismissMessageBox({process.pid()}, 150000);
        const std::wstring seen = box.caption + L": " + box.text;
        ending = seen == kDone ? "done" : seen == kFailed ? "failed" : narrow(seen);
        ending += box.icon == MB_ICONINFORMATION ? " (i) "
                  : box.icon == MB_ICONERROR     ? " (x) "
                                                 : " (?) ";
    }
    return ending + "exit=" + std::to_string(process.wait(10000)) + " ";
}

// Each case starts from a prefix without the plug-in, with two empty scratch
// folders: the release as downloaded, and another one; the test leaves it so.
class Installer : public testing::Test {
protected:
    void TearDown() override { clear(); }
    void clear() {
        runProcess(L"regsvr32 /u /s \"" + besideMe(L"Tavri.dll") + L"\"");
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHostKey, L"Tavri");
        std::error_code ignored;
        fs::remove(kDestination, ignored);
        fs::remove_all(scratch, ignored);
        fs::create_directories(elsewhere);
        fs::create_directories(release);
    }
    const fs::path scratch =
        fs::temp_directory_path() / (L"tavri-installer-" + std::to_wstring(GetCurrentProcessId()));
    const fs::path release = scratch / L"release", elsewhere = scratch / L"elsewhere";
};

TEST_F(Installer, InstallsOrStopsAndShowsHowItEnded) {
    const struct {
        const char* what;
        const char* existing;  // plug-in file already in place: its bytes
        bool held;             // ... held open without sharing
        const char* plugin;    // in the release instead of the built Tavri.dll
        bool elsewhere;        // started in another folder, which holds install.reg instead, and
                               // both hold a regedit.exe and a regsvr32.exe that must not run
        std::wstring button;
        std::string ending;
    } cases[] = {
        {"an older plug-in file is replaced; the close box waits for the install's end", "older",
         false, nullptr, false, kCloseWhileInstalling, "done (i) exit=0 " + kInstalled},
        {"a plug-in file in use stops the copy", "held", true, nullptr, false, L"&Install",
         "failed (x) exit=1 file=held listed=no registered=no"},
        {"a damaged Tavri.dll fails to register", nullptr, false, "not a DLL", false, L"&Install",
         "failed (x) exit=1 file=not a DLL listed=yes registered=no"},
        {"Alt+I; install.reg is read in the current folder; planted tools do not run", nullptr,
         false, nullptr, true, L"Alt+i", "done (i) exit=0 " + kInstalled},
        {"Cancel", nullptr, false, nullptr, false, L"&Cancel", "exit=2 " + kNothing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clear();
        ASSERT_EQ(installState(), kNothing) << "the prefix could not be uninstalled";
        const fs::path start = c.elsewhere ? elsewhere : release;
        for (const wchar_t* file : {L"Install.exe", L"Tavri.dll"})
            fs::copy_file(besideMe(file), release / file);
        fs::copy_file(besideMe(L"install.reg"), start / L"install.reg");
        for (const fs::path& folder :
             c.elsewhere ? std::vector{release, elsewhere} : std::vector<fs::path>{})
            for (const wchar_t* tool : {L"regedit.exe", L"regsvr32.exe"})
                fs::copy_file(besideMe(L"plughost.exe"), folder / tool);
        if (c.plugin)
            std::ofstream(release / L"Tavri.dll", std::ios::binary | std::ios::trunc) << c.plugin;
        if (c.existing) std::ofstream(kDestination, std::ios::binary) << c.existing;
        tavri::win::UniqueFile held(c.held ? CreateFileW(kDestination.c_str(), GENERIC_READ, 0,
                                                         nullptr, OPEN_EXISTING, 0, nullptr)
                                           : INVALID_HANDLE_VALUE);
        ASSERT_EQ(static_cast<bool>(held), c.held);
        const std::string ending = run(release, start, c.button);
        held.reset();  // the file can be read again
        EXPECT_EQ(ending + installState(), c.ending);
    }
}

}  // namespace
