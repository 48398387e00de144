#include "server.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace wintest {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string unescapeLogField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '%' && i + 2 < field.size()) {
            out += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += field[i];
        }
    }
    return out;
}

}  // namespace

int serverPort(const char* which) {
    const std::string name = which;
    if (name == "https") return 47443;
    std::string var = "TAVRI_";
    for (char c : name) var += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return std::atoi(env((var + "_PORT").c_str()).c_str());
}

std::string reportUrl(const std::string& user, const std::string& password, const char* port,
                      const char* scheme) {
    return std::string(scheme) + "://localhost:" + std::to_string(serverPort(port)) +
           "/mydatamonitor/usage.txt?username=" + user + "&password=" + password;
}

std::vector<LoggedRequest> requestsOf(const std::string& user) {
    std::vector<LoggedRequest> found;
    std::ifstream log(env("TAVRI_SERVER_LOG"));
    std::string line;
    while (std::getline(log, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) f.push_back(unescapeLogField(field));
        if (f.size() == 7 && f[3] == user) found.push_back({f[1], f[2], f[3], f[4], f[5], f[6]});
    }
    return found;
}

}  // namespace wintest
