#pragma once
// The accounts the stand-in knows: user name, password and the report body
// each one gets.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace reportserver {

struct Account {
    std::string username;
    std::string password;
    std::string body;
};

struct AccountsError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Lines "USER<TAB>PASSWORD<TAB>BODY"; blank lines and lines starting with '#'
// are skipped. Each field takes the escapes \t \r \n \\ and \xHH. A BODY of
// "@PATH" is the content of that file (relative to baseDir). Throws
// AccountsError naming the line.
std::vector<Account> parseAccounts(std::string_view text, const std::filesystem::path& baseDir);
std::vector<Account> loadAccounts(const std::filesystem::path& file);

// Resolves the escapes above; throws AccountsError on a broken one.
std::string unescapeField(std::string_view field);

std::string readFile(const std::filesystem::path& file);  // throws AccountsError

}  // namespace reportserver
