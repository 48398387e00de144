#include "accounts.h"

#include <fstream>
#include <sstream>

namespace reportserver {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::string_view::size_type start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

}  // namespace

std::string unescapeField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size()) throw AccountsError("a lone backslash at the end");
        switch (field[i]) {
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x': {
                const int hi = i + 1 < field.size() ? hexValue(field[i + 1]) : -1;
                const int lo = i + 2 < field.size() ? hexValue(field[i + 2]) : -1;
                if (hi < 0 || lo < 0) throw AccountsError("\\x needs two hex digits");
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                throw AccountsError(std::string("unknown escape \\") + field[i]);
        }
    }
    return out;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw AccountsError("cannot read " + file.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<Account> parseAccounts(std::string_view text, const std::filesystem::path& baseDir,
                                   const Behaviour& defaults) {
    std::vector<Account> accounts;
    int lineNo = 0;
    std::string_view::size_type start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const auto fields = splitTabs(line);
        const auto where = "accounts line " + std::to_string(lineNo) + ": ";
        try {
            if (fields.size() < 3)
                throw AccountsError("expected USER<TAB>PASSWORD<TAB>BODY, found " +
                                    std::to_string(fields.size()) + " field(s)");
            Account a{unescapeField(fields[0]), unescapeField(fields[1]), {}, defaults};
            std::size_t i = 2;
            for (; i < fields.size() && fields[i].substr(0, 2) == "--"; ++i) {
                const std::string field(fields[i]);
                const auto eq = field.find('=');
                const std::string name = field.substr(0, eq);
                const auto value = [&] {
                    if (eq == std::string::npos) throw UsageError(name + " needs =VALUE");
                    return unescapeField(field.substr(eq + 1));
                };
                if (!applySwitch(a.behaviour, name, value))
                    throw AccountsError("unknown switch " + name);
            }
            if (i == fields.size()) throw AccountsError("no BODY after the switches");
            for (; i < fields.size(); ++i) {
                if (!fields[i].empty() && fields[i].front() == '@') {
                    const std::filesystem::path p(std::string(fields[i].substr(1)));
                    a.bodies.push_back(readFile(p.is_absolute() ? p : baseDir / p));
                } else {
                    a.bodies.push_back(unescapeField(fields[i]));
                }
            }
            accounts.push_back(std::move(a));
        } catch (const std::runtime_error& e) {
            throw AccountsError(where + e.what());
        }
    }
    return accounts;
}

std::vector<Account> loadAccounts(const std::filesystem::path& file, const Behaviour& defaults) {
    return parseAccounts(readFile(file), file.parent_path(), defaults);
}

}  // namespace reportserver
