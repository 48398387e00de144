#pragma once
// The baseline: a plain WinINet fetch with the same agent, flags and 256-byte
// reads as the plug-in, nothing else (no timeouts, no message dispatch, no
// conversion).
#include <windows.h>
#include <wininet.h>

#include <string>

namespace bench {

inline std::string bareFetch(HINTERNET session, const std::string& url) {
    std::string body;
    HINTERNET request =
        InternetOpenUrlA(session, url.c_str(), nullptr, 0, INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (!request) return body;
    char chunk[256];
    DWORD got = 0;
    while (InternetReadFile(request, chunk, sizeof chunk, &got) && got > 0)
        body.append(chunk, got);
    InternetCloseHandle(request);
    return body;
}

inline HINTERNET openBareSession() {
    return InternetOpenA("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)",
                         INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
}

// Session and request opened and closed for this one fetch.
inline std::string bareFetch(const std::string& url) {
    HINTERNET session = openBareSession();
    std::string body = bareFetch(session, url);
    InternetCloseHandle(session);
    return body;
}

}  // namespace bench
