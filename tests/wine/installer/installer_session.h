#pragma once
// What the installer tests need around Install.exe: a release folder laid out
// like the user's download, the running installer driven like a user, and
// the prefix's install state (plug-in file, registration, host listing) read,
// cleared and put back as it was.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "win_ui.h"

namespace installer_test {

inline const std::wstring kDestination =
    L"C:\\Program Files\\Messenger Plus! 2\\Plugins\\Tavri.dll";
inline const std::wstring kPluginFolder = L"C:\\Program Files\\Messenger Plus! 2\\Plugins";
inline const std::wstring kRegistrationLine =
    L"regsvr32  /s \"C:/Program Files/Messenger Plus! 2/Plugins/Tavri.dll\"";
inline const std::wstring kDone =
    L"Done! Please restart MSN Messenger for the plugin to come into affect.";
inline const std::wstring kCannotContinue = L"PLEASE CLOSE MSN. THE INSTALLER CANNOT CONTINUE!";
inline const std::wstring kWindowCaption = L"Tavri Plugin Installer";
inline const std::wstring kMessageCaption = L"Tavri Installer";

// Exit codes of Install.exe.
constexpr DWORD kExitInstalled = 0, kExitFailed = 1, kExitClosed = 2;

std::string readFileBytes(const std::wstring& path, bool* exists = nullptr);
bool writeFileBytes(const std::wstring& path, const std::string& bytes);
bool fileExists(const std::wstring& path);

// A fresh folder under the temp folder; removed with its files at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring file(const wchar_t* name) const { return path_ + L"\\" + name; }
    // Copies a file from the test program's folder (the Windows build).
    void addFromBuild(const wchar_t* name) const;

private:
    std::wstring path_;
};

// The three release files, each optional.
struct ReleaseContents {
    bool installer = true;
    bool plugin = true;
    bool registryFile = true;
};
void layOutRelease(const TempFolder& folder, ReleaseContents contents = {});

// Install.exe running as a child process, its window found.
class RunningInstaller {
public:
    // Starts folder\Install.exe with the given current directory.
    RunningInstaller(const std::wstring& folder, const std::wstring& currentDirectory);
    ~RunningInstaller();  // ends the process if it still runs
    RunningInstaller(const RunningInstaller&) = delete;
    RunningInstaller& operator=(const RunningInstaller&) = delete;

    HWND form() const { return form_; }
    DWORD threadId() const { return GetWindowThreadProcessId(form_, nullptr); }
    HWND installButton() const;
    HWND cancelButton() const;
    HWND commandBox() const;  // Text1
    HWND focused() const;     // the form's focused control

    // Presses "&Install", then waits for the message the installer ends with,
    // reads it (icon included) and presses OK.
    wintest::MessageBoxView installAndReadMessage();
    // A message box of this process, or nullptr after timeoutMs.
    HWND waitForMessageBox(DWORD timeoutMs) const;
    // Waits for the process to end; its exit code, or -1 when it did not.
    long waitForExit(DWORD timeoutMs = 10000);

private:
    PROCESS_INFORMATION process_{};
    HWND form_ = nullptr;
};

// The icon a message box of another process shows (its handle means nothing
// here), told by its look: MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONERROR,
// MB_ICONQUESTION, 0 for none, -1 for one that looks like none of these.
int messageBoxIcon(HWND box);

// Install state of the prefix.
bool pluginRegistered();
std::wstring registeredServerPath();  // InprocServer32 of the plug-in's class, or ""
bool hostListsPlugin();               // the value the registry file writes
// Uninstalled: no plug-in file, no registration, no host listing.
void clearInstallState();
// The registration and the host listing removed; the plug-in file stays.
void unregisterAndUnlist();

// The host stand-in running with its plug-ins loaded, waiting for chat lines
// on standard input; it ends when its input closes.
class RunningHost {
public:
    RunningHost();
    ~RunningHost();
    RunningHost(const RunningHost&) = delete;
    RunningHost& operator=(const RunningHost&) = delete;
    bool running() const;
    // Waits (bounded) until the host has loaded the module at this path.
    bool waitUntilLoaded(const std::wstring& modulePath, DWORD timeoutMs) const;

private:
    PROCESS_INFORMATION process_{};
    HANDLE input_ = nullptr;
};
// Runs a command line, capturing standard output; exit code or -1.
int runCapturingOutput(const std::wstring& commandLine, std::string* output,
                       DWORD timeoutMs = 60000);

// Keeps the prefix's install state over the whole test program and puts it
// back at the end: the other suites share the prefix.
class PrefixStateGuard : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    bool hadFile_ = false;
    std::string fileBytes_;
    std::wstring serverPath_;
    bool listed_ = false;
};

// Moves the host's plug-in folder away for the scope.
class PluginFolderMovedAway {
public:
    PluginFolderMovedAway();
    ~PluginFolderMovedAway();
    bool moved() const { return moved_; }

private:
    std::wstring parking_;
    bool moved_ = false;
};

}  // namespace installer_test
