#pragma once
// The installer's one job: put the plug-in file in the host's plug-in folder,
// import the registry file and register the component, then say how it went.
// Portable: everything the sequence touches goes through InstallPort.
#include <string>
#include <string_view>

namespace tavri::installer {

inline constexpr std::string_view kAppTitle = "Tavri Installer";
inline constexpr std::string_view kPluginFileName = "Tavri.dll";
// The host's plug-in file below the Program Files folder Windows names.
inline constexpr std::string_view kPluginBelowProgramFiles =
    "Messenger Plus! 2\\Plugins\\Tavri.dll";
// The Program Files folder when Windows names none.
inline constexpr std::string_view kDefaultProgramFiles = "C:\\Program Files";
inline constexpr std::string_view kRegistryFile = "install.reg";
inline constexpr std::string_view kRegistryCommandLine = "regedit /s install.reg";
inline constexpr std::string_view kSuccessMessage =
    "Done! Please restart MSN Messenger for the plugin to come into affect.";
inline constexpr std::string_view kFailureMessage =
    "PLEASE CLOSE MSN. THE INSTALLER CANNOT CONTINUE!";
// How long one started program (registry editor, registration tool) may run.
inline constexpr unsigned kProgramWaitLimitMs = 60000;

// The plug-in file beside the installer: its folder, a backslash, the name.
std::string sourceFile(std::string_view programFolder);
// The plug-in's destination below a Program Files folder (empty:
// kDefaultProgramFiles).
std::string destinationFile(std::string_view programFilesFolder);
// The registration tool's command line for a destination path: two blanks
// after the tool's name, the path with forward slashes, in double quotes.
std::string registrationCommandLineFor(std::string_view destination);

enum class MessageIcon { Information, Critical };

struct ProgramRun {
    enum class Status { Exited, NotStarted, TimedOut };
    Status status = Status::NotStarted;
    unsigned long exitCode = 0;  // meaningful when Exited

    bool succeeded() const { return status == Status::Exited && exitCode == 0; }
};

class InstallPort {
public:
    virtual ~InstallPort() = default;
    // Folder of the running installer, as the system names it.
    virtual std::string programFolder() = 0;
    // The Program Files folder Windows gives this program; empty when none.
    virtual std::string programFilesFolder() = 0;
    // Copies a file, replacing an existing destination; false on any failure.
    virtual bool copyFile(const std::string& source, const std::string& destination) = 0;
    // Whether a file of this name exists in the current directory.
    virtual bool existsInCurrentDirectory(std::string_view fileName) = 0;
    // The registration command line as the window holds it right now.
    virtual std::string registrationCommandLine() = 0;
    // Starts a command line (minimized, with focus) and waits for it, at most
    // waitLimitMs, while the user interface stays responsive.
    virtual ProgramRun runAndWait(const std::string& commandLine, unsigned waitLimitMs) = 0;
    // A modal message with an OK button.
    virtual void showMessage(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
};

enum class InstallOutcome { Installed, Failed };

// Copy, registry import, registration, then the success message. Any failing
// step (or exception from the port) skips everything after it, shows the one
// failure message and undoes nothing. The caller ends the program afterwards.
InstallOutcome runInstall(InstallPort& port);

}  // namespace tavri::installer
