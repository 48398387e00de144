#include "install_sequence.h"

#include <algorithm>

namespace tavri::installer {

std::string sourceFile(std::string_view programFolder) {
    std::string path(programFolder);
    // A drive's root folder already ends with its separator ("C:\").
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
    path += kPluginFileName;
    return path;
}

std::string registrationCommandLineFor(std::string_view destination) {
    std::string path(destination);
    std::replace(path.begin(), path.end(), '\\', '/');
    return "regsvr32  /s \"" + path + "\"";
}

namespace {

bool installSteps(InstallPort& port) {
    if (!port.copyFile(sourceFile(port.programFolder()), std::string(kDestinationFile)))
        return false;
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
