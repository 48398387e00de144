#pragma once
// The usage-report request URL.
#include <string>
#include <string_view>

namespace tavri {

// Every byte except A-Z a-z 0-9 - . _ ~ written as %XX (upper-case hex), so
// "&", "=", "%", "+", "#", blanks and non-ASCII bytes cannot change the query.
std::string percentEncode(std::string_view bytes);

// "https://HOST/mydatamonitor/usage.txt?username=": what reportUrl() appends to.
std::string reportUrlPrefix(std::string_view providerHost);

// prefix + encoded account name + "&password=" + encoded password. The
// credentials are given as bytes in the system's ANSI code page.
std::string reportUrl(std::string_view prefix, std::string_view ansiAccountName,
                      std::string_view ansiPassword);

}  // namespace tavri
