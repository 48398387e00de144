// GetSource: the HTTPS fetch of the usage report through WinINet.
//
// Beyond the plain open-read-close, every fetch is bounded: it ends within
// kFetchBoundMs however the server behaves, and it keeps at most
// kMaxReportBytes. It never shows WinINet dialogs, never accepts a
// certificate WinINet rejects, and never follows a redirect away from https
// (the credentials travel in the query).
#include "get_source.h"

#include <windows.h>
#include <wininet.h>

#include <cstring>

#include "ansi_text.h"
#include "handles.h"
#include "message_pump.h"

namespace tavri::win {
namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)";
constexpr DWORD kChunkSize = 256;
constexpr size_t kMaxReportBytes = 16u * 1024 * 1024;
constexpr DWORD kOperationTimeoutMs = 6000;  // connect, send, each receive
constexpr DWORD kFetchBoundMs = 20000;
constexpr int kMaxRedirects = 5;
// Pending window messages are dispatched between reads at most this often
// (and always after the last read): a check of the queue costs more than a
// 256-byte read of buffered data, so checking after every read would make a
// large report several times slower to fetch.
constexpr DWORD kDispatchIntervalMs = 10;
constexpr DWORD kOpenFlags =
    INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;

class Deadline {
public:
    // Whether an operation that may take up to ms still ends within the bound.
    // The tick count wraps every 49.7 days; the unsigned difference of two
    // readings is right across the wrap.
    bool allows(DWORD ms) const {
        const DWORD spent = GetTickCount() - start_;
        return spent <= kFetchBoundMs && ms <= kFetchBoundMs - spent;
    }

private:
    DWORD start_ = GetTickCount();
};

// Status callbacks reach only calls with a non-zero context.
constexpr DWORD_PTR kFetchContext = 1;

void setTimeouts(HINTERNET handle) {
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD ms = kOperationTimeoutMs;
        InternetSetOptionA(handle, option, &ms, sizeof ms);
    }
}

// Some WinINet implementations (Wine's) keep a request's send and receive
// timeouts from its connection, not from the session, and InternetOpenUrl
// makes both inside; so the request also gets them as soon as it exists.
void CALLBACK onStatus(HINTERNET, DWORD_PTR, DWORD status, LPVOID info, DWORD infoSize) {
    if (status == INTERNET_STATUS_HANDLE_CREATED && info && infoSize >= sizeof(HINTERNET))
        setTimeouts(*static_cast<HINTERNET*>(info));
}

UniqueInternet openSession() {
    UniqueInternet session(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (session) {
        setTimeouts(session.get());
        InternetSetStatusCallbackA(session.get(), onStatus);
    }
    return session;
}

DWORD statusCode(HINTERNET request) {
    DWORD code = 0;
    DWORD size = sizeof code;
    return HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                          nullptr)
               ? code
               : 0;
}

std::string queryText(HINTERNET request, DWORD info) {
    std::string text(256, '\0');
    DWORD size = static_cast<DWORD>(text.size());
    if (!HttpQueryInfoA(request, info, text.data(), &size, nullptr)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        text.resize(size);
        if (!HttpQueryInfoA(request, info, text.data(), &size, nullptr)) return {};
    }
    text.resize(size);
    return text;
}

// The absolute URL a Location header points to, seen from base.
std::string resolveUrl(const std::string& base, const std::string& location) {
    std::string url(INTERNET_MAX_URL_LENGTH, '\0');
    DWORD size = static_cast<DWORD>(url.size());
    if (!InternetCombineUrlA(base.c_str(), location.c_str(), url.data(), &size, ICU_NO_ENCODE))
        return {};
    url.resize(size);
    return url;
}

bool isHttps(const std::string& url) {
    return url.size() >= 8 && _strnicmp(url.c_str(), "https://", 8) == 0;
}

// Opens url and follows redirects as long as they stay on https. Null when
// nothing usable could be opened.
UniqueInternet openReport(HINTERNET session, std::string url, const Deadline& deadline) {
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        UniqueInternet request(InternetOpenUrlA(session, url.c_str(), nullptr, 0, kOpenFlags, kFetchContext));
        if (!request) return {};
        const DWORD status = statusCode(request.get());
        if (status < 300 || status > 399) return request;
        const std::string location = queryText(request.get(), HTTP_QUERY_LOCATION);
        if (location.empty()) return {};
        url = resolveUrl(url, location);
        if (!isHttps(url) || !deadline.allows(3 * kOperationTimeoutMs)) return {};
    }
    return {};
}

// Reads the body in chunks of at most kChunkSize: one read, then further
// reads, each followed by a dispatch of pending window messages when
// kDispatchIntervalMs have passed since the last one, until a read brings
// nothing; that last read is always followed by a dispatch. A failed read,
// the size cap or the deadline end the body like its end. Each read takes
// only what has arrived (waiting for at least one byte, within the receive
// timeout), so a server that sends a byte now and then cannot stretch one
// read past the deadline.
std::string readBody(HINTERNET request, const Deadline& deadline) {
    std::string bytes;
    char chunk[kChunkSize];
    auto readChunk = [&]() -> DWORD {
        const size_t room = kMaxReportBytes - bytes.size();
        if (room == 0 || !deadline.allows(kOperationTimeoutMs)) return 0;
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) return 0;
        DWORD want = kChunkSize;
        if (available > 0 && available < want) want = available;
        if (room < want) want = static_cast<DWORD>(room);
        DWORD got = 0;
        if (!InternetReadFile(request, chunk, want, &got)) return 0;
        bytes.append(chunk, got);
        return got;
    };
    DWORD lastDispatch = GetTickCount();
    DWORD last = readChunk();
    while (last > 0) {
        last = readChunk();
        const DWORD now = GetTickCount();
        if (last == 0 || now - lastDispatch >= kDispatchIntervalMs) {
            dispatchPendingMessages();
            lastDispatch = now;
        }
    }
    return bytes;
}

}  // namespace

std::string GetSource(const std::string& url) {
    const Deadline deadline;
    const UniqueInternet session = openSession();
    if (!session) return {};
    const UniqueInternet request = openReport(session.get(), utf8ToAnsi(url), deadline);
    if (!request) return {};
    return ansiToUtf8(readBody(request.get(), deadline));
}

// Each fetch opens and closes its own session: measured against a session
// kept for reuse, that costs nothing (WinINet pools the connections itself),
// so nothing is left to release.
void releaseInternetSession() {}

}  // namespace tavri::win
