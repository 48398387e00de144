#include "install_sequence.h"

#include <algorithm>

namespace tavri::installer {

namespace {

// A folder and a name below it, with one separator between them. A drive's
// root folder already ends with its separator ("C:\").
std::string below(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
    path += name;
    return path;
}

}  // namespace

std::string sourceFile(std::string_view programFolder) {
    return below(programFolder, kPluginFileName);
}

std::string destinationFile(std::string_view programFilesFolder) {
    return below(programFilesFolder.empty() ? kDefaultProgramFiles : programFilesFolder,
                 kPluginBelowProgramFiles);
}

std::string registrationCommandLineFor(std::string_view destination) {
    std::string path(destination);
    std::replace(path.begin(), path.end(), '\\', '/');
    return "regsvr32  /s \"" + path + "\"";
}

namespace {

bool installSteps(InstallPort& port) {
    const std::string destination = destinationFile(port.programFilesFolder());
    if (!port.copyFile(sourceFile(port.programFolder()), destination)) return false;
    // The registry editor reports nothing when its file is missing, so look first.
    if (!port.existsInCurrentDirectory(kRegistryFile)) return false;
    if (!port.runAndWait(std::string(kRegistryCommandLine), kProgramWaitLimitMs).succeeded())
        return false;
    return port.runAndWait(port.registrationCommandLine(), kProgramWaitLimitMs).succeeded();
}

}  // namespace

InstallOutcome runInstall(InstallPort& port) {
    bool installed = false;
    try {
        installed = installSteps(port);
    } catch (...) {
        installed = false;
    }
    if (installed) {
        port.showMessage(kAppTitle, kSuccessMessage, MessageIcon::Information);
        return InstallOutcome::Installed;
    }
    port.showMessage(kAppTitle, kFailureMessage, MessageIcon::Critical);
    return InstallOutcome::Failed;
}

}  // namespace tavri::installer
