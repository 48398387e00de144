#include "server_setups.h"

#include <windows.h>

#include <cstdio>
#include <fstream>

namespace tagtest {
namespace {

std::vector<ServerSetup>& registry() {
    static std::vector<ServerSetup> setups;
    return setups;
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

bool makeFolder(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

ServerSetup serve(std::string test, std::vector<std::string> bodies,
                  std::vector<std::string> serverArgs) {
    registry().push_back({std::move(test), std::move(bodies), std::move(serverArgs)});
    return registry().back();
}

bool writeServerSetups(const std::wstring& dir) {
    for (const auto& setup : registry()) {
        const std::wstring folder = dir + L"\\" + std::wstring(setup.test.begin(), setup.test.end());
        if (!makeFolder(folder) || !makeFolder(folder + L"\\bodies")) return false;
        for (size_t i = 0; i < setup.bodies.size(); ++i) {
            wchar_t name[16];
            std::swprintf(name, 16, L"%02u.txt", static_cast<unsigned>(i + 1));
            if (!writeFile(folder + L"\\bodies\\" + name, setup.bodies[i])) return false;
        }
        std::string args;
        for (const auto& arg : setup.serverArgs) args += arg + "\n";
        if (!writeFile(folder + L"\\server-args", args)) return false;
    }
    return true;
}

std::string report(const std::string& planName, int usedMb, int limitMb) {
    return "account=gina\r\nplan_name=" + planName + " Upgrade\r\nusage=" +
           std::to_string(usedMb) + "MB\r\nplan_limit=" + std::to_string(limitMb) +
           "MB\r\nperiod=2024-05\r\n";
}

}  // namespace tagtest
