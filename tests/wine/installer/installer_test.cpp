// installer_test: Install.exe under Wine, driven like a user: a release
// folder laid out as the download is, "&Install" pressed, the message it
// ends with read, and what it left in the prefix looked at.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "form1.h"
#include "handles.h"
#include "install_sequence.h"
#include "process.h"
#include "text.h"
#include "window_query.h"

namespace {

using namespace wintest;
namespace fs = std::filesystem;
namespace installer = tavri::installer;
using installer::win::FormResult;

const std::wstring kDestination = widen(std::string(installer::kDestinationFile));
const fs::path kPluginFolder = fs::path(kDestination).parent_path();
const fs::path kParkedFolder = kPluginFolder.wstring() + L".away";
const wchar_t kHostKey[] = L"SOFTWARE\\Messenger Plus! 2\\Plugins";
const wchar_t kProgIdClass[] = L"TavriPlugin.plugin\\CLSID";

std::string readBytes(const fs::path& path, bool* exists = nullptr) {
    std::ifstream in(path, std::ios::binary);
    if (exists) *exists = in.is_open();
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The server the plug-in's class is registered with, "" when it is not.
std::wstring registeredServer() {
    const std::wstring clsid = readString(HKEY_CLASSES_ROOT, kProgIdClass, nullptr);
    std::wstring server =
        clsid.empty() ? L"" : readString(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\InprocServer32", nullptr);
    for (auto& c : server) c = c == L'/' ? L'\\' : c;
    return server;
}

std::wstring hostListing(bool* listed) { return readString(HKEY_LOCAL_MACHINE, kHostKey, L"Tavri", listed); }

// What the prefix holds: the plug-in file ("build" for the one built, its
// bytes otherwise, "none"), the host's listing and the registration.
std::string installState() {
    bool exists = false, listed = false;
    const std::string bytes = readBytes(kDestination, &exists);
    hostListing(&listed);
    return "file=" + (!exists ? "none" : bytes == readBytes(besideMe(L"Tavri.dll")) ? "build" : bytes) +
           " listed=" + (listed ? "yes" : "no") + " registered=" + (registeredServer().empty() ? "no" : "yes");
}
const std::string kInstalled = "file=build listed=yes registered=yes";

void unregisterAndUnlist() {
    runProcess(L"regsvr32 /u /s \"" + besideMe(L"Tavri.dll") + L"\"");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHostKey, L"Tavri");
}

void clearInstallState() {
    unregisterAndUnlist();
    std::error_code ignored;
    fs::remove(kDestination, ignored);
}

// The other suites share the prefix: its install state is put back at the end.
class KeepInstallState : public testing::Environment {
    void SetUp() override {
        std::error_code ignored;  // a run that died midway may have left the folder parked
        if (!fs::exists(kPluginFolder)) fs::rename(kParkedFolder, kPluginFolder, ignored);
        file_ = readBytes(kDestination, &hadFile_);
        server_ = registeredServer();
        listing_ = hostListing(&listed_);
    }
    void TearDown() override {
        clearInstallState();
        if (hadFile_) writeBytes(kDestination, file_);
        if (!server_.empty()) runProcess(L"regsvr32 /s \"" + server_ + L"\"");
        if (listed_)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kHostKey, L"Tavri", REG_SZ, listing_.c_str(),
                            static_cast<DWORD>((listing_.size() + 1) * sizeof(wchar_t)));
    }
    bool hadFile_ = false, listed_ = false;
    std::string file_;
    std::wstring server_, listing_;
};
testing::Environment* const keepInstallState = testing::AddGlobalTestEnvironment(new KeepInstallState);

// A folder with some of the release's files copied from the build; removed
// at the end.
struct Folder {
    fs::path path;
    explicit Folder(std::initializer_list<const wchar_t*> files = {L"Install.exe", L"Tavri.dll", L"install.reg"}) {
        static int made = 0;
        path = fs::temp_directory_path() /
               (L"tavri-installer-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made));
        fs::create_directories(path);
        for (const wchar_t* file : files) fs::copy_file(besideMe(file), path / file);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

// Install.exe started from a folder, in a current directory, its window shown.
struct Installer {
    Process process;
    HWND form;
    Installer(const fs::path& folder, const fs::path& currentDirectory)
        : process(L"\"" + (folder / L"Install.exe").wstring() + L"\"", currentDirectory.wstring()),
          form(process.started() ? waitForWindow({process.pid()}, 20000) : nullptr) {}
    void press(const wchar_t* button) { clickButton(findChild(form, L"Button", button)); }
};

// Presses "&Install" and checks the message it ends with and its exit code.
MessageBoxView runInstall(const fs::path& folder, const fs::path& currentDirectory, bool succeeds) {
    Installer installer(folder, currentDirectory);
    EXPECT_TRUE(installer.form) << "the installer window did not show";
    if (!installer.form) return {};
    installer.press(L"&Install");
    // Registration under Wine takes seconds; the installer waits up to a minute per program.
    const MessageBoxView message = dismissMessageBox({installer.process.pid()}, 150000);
    EXPECT_EQ(message.text, widen(std::string(succeeds ? installer::kSuccessMessage : installer::kFailureMessage)));
    EXPECT_EQ(message.icon, succeeds ? MB_ICONINFORMATION : MB_ICONERROR);
    EXPECT_EQ(message.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(installer.process.wait(10000), int(succeeds ? FormResult::Installed : FormResult::Failed));
    return message;
}

void expectInstalledForTheHost() {
    EXPECT_EQ(installState(), kInstalled);
    EXPECT_EQ(lstrcmpiW(registeredServer().c_str(), kDestination.c_str()), 0)
        << "registered from the plug-in folder, not from the release";
    std::string listing;
    EXPECT_EQ(runProcess(L"\"" + besideMe(L"plughost.exe") + L"\" --list", 60000, &listing), 0);
    EXPECT_NE(listing.find("(!XTAVRI)"), std::string::npos) << listing;
}

class InstallerTest : public testing::Test {
protected:
    void SetUp() override {
        clearInstallState();
        ASSERT_EQ(installState(), "file=none listed=no registered=no") << "the prefix could not be uninstalled";
    }
};

TEST_F(InstallerTest, CleanInstallCopiesImportsRegistersAndTheHostFindsThePlugin) {
    Folder release;
    runInstall(release.path, release.path, true);
    expectInstalledForTheHost();
}

// The release zip as packed, unzipped in the prefix by release_zip.sh.
TEST_F(InstallerTest, TheReleaseZipsContentsInstall) {
    const char* unzipped = std::getenv("TAVRI_RELEASE_FOLDER");
    if (!unzipped) GTEST_SKIP() << "release_zip.sh runs this with the unzipped release";
    runInstall(widen(unzipped), widen(unzipped), true);
    expectInstalledForTheHost();
}

// Copy, registry import (install.reg from the current directory), then
// registration: the first step that fails stops the ones after it, and
// nothing done is undone.
TEST_F(InstallerTest, EachStepThatFailsStopsTheStepsAfterIt) {
    enum Start { kInItsFolder, kElsewhere, kElsewhereWithRegistryFile };
    const struct {
        const char* what;
        std::initializer_list<const wchar_t*> files;  // in the release folder
        const char* releasePlugin;                    // instead of the built Tavri.dll
        const char* existing;                         // a plug-in file already in place
        bool held, folderMissing;
        Start start;
        bool succeeds;
        const char* state;
    } cases[] = {
        {"an older plug-in file", {L"Install.exe", L"Tavri.dll", L"install.reg"}, nullptr, "older", false, false,
         kInItsFolder, true, "file=build listed=yes registered=yes"},
        {"the plug-in folder is missing", {L"Install.exe", L"Tavri.dll", L"install.reg"}, nullptr, nullptr, false,
         true, kInItsFolder, false, "file=none listed=no registered=no"},
        {"no Tavri.dll beside the installer", {L"Install.exe", L"install.reg"}, nullptr, nullptr, false, false,
         kInItsFolder, false, "file=none listed=no registered=no"},
        {"the plug-in file held open without sharing", {L"Install.exe", L"Tavri.dll", L"install.reg"}, nullptr,
         "held", true, false, kInItsFolder, false, "file=held listed=no registered=no"},
        {"no install.reg", {L"Install.exe", L"Tavri.dll"}, nullptr, nullptr, false, false, kInItsFolder, false,
         "file=build listed=no registered=no"},
        {"a damaged Tavri.dll fails to register", {L"Install.exe", L"install.reg"}, "not a DLL", nullptr, false,
         false, kInItsFolder, false, "file=not a DLL listed=yes registered=no"},
        {"started elsewhere, no install.reg there", {L"Install.exe", L"Tavri.dll", L"install.reg"}, nullptr,
         nullptr, false, false, kElsewhere, false, "file=build listed=no registered=no"},
        {"started elsewhere, install.reg only there", {L"Install.exe", L"Tavri.dll"}, nullptr, nullptr, false,
         false, kElsewhereWithRegistryFile, true, "file=build listed=yes registered=yes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearInstallState();
        Folder release(c.files);
        Folder elsewhere = c.start == kElsewhereWithRegistryFile ? Folder({L"install.reg"}) : Folder({});
        if (c.releasePlugin) writeBytes(release.path / L"Tavri.dll", c.releasePlugin);
        if (c.existing) writeBytes(kDestination, c.existing);
        tavri::win::UniqueFile held(c.held ? CreateFileW(kDestination.c_str(), GENERIC_READ, 0, nullptr,
                                                         OPEN_EXISTING, 0, nullptr)
                                           : INVALID_HANDLE_VALUE);
        ASSERT_EQ(static_cast<bool>(held), c.held);
        if (c.folderMissing) fs::rename(kPluginFolder, kParkedFolder);
        runInstall(release.path, c.start == kInItsFolder ? release.path : elsewhere.path, c.succeeds);
        if (c.folderMissing) fs::rename(kParkedFolder, kPluginFolder);
        held.reset();
        EXPECT_EQ(installState(), c.state);
    }
}

bool hasLoaded(HANDLE process, const std::wstring& path) {
    HMODULE modules[512];
    DWORD bytes = 0;
    if (!EnumProcessModules(process, modules, sizeof modules, &bytes)) return false;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
        wchar_t name[MAX_PATH] = {};
        GetModuleFileNameExW(process, modules[i], name, MAX_PATH);
        if (lstrcmpiW(name, path.c_str()) == 0) return true;
    }
    return false;
}

TEST_F(InstallerTest, HostRunningWithThePluginLoadedStopsTheInstall) {
    Folder release;
    runInstall(release.path, release.path, true);
    // The host waits for chat lines on its input, the plug-in loaded.
    Process host(L"\"" + besideMe(L"plughost.exe") + L"\"", L"", true);
    ASSERT_TRUE(waitUntil([&] { return hasLoaded(host.handle(), kDestination); }, 30000))
        << "the host did not load the plug-in";
    unregisterAndUnlist();  // whatever the install imports or registers now shows
    runInstall(release.path, release.path, false);
    EXPECT_EQ(WaitForSingleObject(host.handle(), 0), WAIT_TIMEOUT) << "the host keeps running";
    EXPECT_EQ(installState(), "file=build listed=no registered=no");
    host.closeInput();
    EXPECT_EQ(host.wait(10000), 0);
}

TEST_F(InstallerTest, CancelAndTheCloseBoxEndTheProgramWithNothingDone) {
    Folder release;
    for (bool cancel : {true, false}) {
        Installer installer(release.path, release.path);
        ASSERT_TRUE(installer.form);
        if (cancel) installer.press(L"&Cancel");
        else PostMessageW(installer.form, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(installer.process.wait(10000), int(FormResult::Closed)) << (cancel ? "Cancel" : "close box");
    }
    EXPECT_EQ(installState(), "file=none listed=no registered=no");
}

}  // namespace
