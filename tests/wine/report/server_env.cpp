#include "server_env.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fetchtest {

std::string serverEnv(const char* name) {
    const char* value = std::getenv((std::string("TAVRI_") + name).c_str());
    return value ? value : "";
}

std::string reportUrl(const char* server, const std::string& user, const std::string& password) {
    return serverEnv(server) + "/mydatamonitor/usage.txt?username=" + user + "&password=" + password;
}

std::vector<LogLine> readLog(const char* logName) {
    std::vector<LogLine> lines;
    std::ifstream in(serverEnv(logName), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        LogLine fields;
        std::istringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t')) fields.push_back(field);
        lines.push_back(fields);
    }
    return lines;
}

std::string logEscaped(const std::string& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c > 0x20 && c < 0x7F && c != '%') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace fetchtest
