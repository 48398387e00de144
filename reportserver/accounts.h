#pragma once
// The accounts the stand-in knows: user name, password, the report bodies
// each one gets in turn, and how its requests are answered.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"

namespace reportserver {

struct Account {
    std::string username;
    std::string password;
    std::vector<std::string> bodies;  // the n-th request gets the n-th, then the last again
    Behaviour behaviour;
};

struct AccountsError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Lines "USER<TAB>PASSWORD[<TAB>--SWITCH[=VALUE]...]<TAB>BODY[<TAB>BODY...]";
// blank lines and lines starting with '#' are skipped. Switches start from
// `defaults`. Each field takes the escapes \t \r \n \\ and \xHH. A BODY of
// "@PATH" is the content of that file (relative to baseDir). Throws
// AccountsError naming the line.
std::vector<Account> parseAccounts(std::string_view text, const std::filesystem::path& baseDir,
                                   const Behaviour& defaults = {});
std::vector<Account> loadAccounts(const std::filesystem::path& file,
                                  const Behaviour& defaults = {});

// Resolves the escapes above; throws AccountsError on a broken one.
std::string unescapeField(std::string_view field);

std::string readFile(const std::filesystem::path& file);  // throws AccountsError

}  // namespace reportserver
