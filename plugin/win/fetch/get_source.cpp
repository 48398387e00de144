// GetSource: the HTTPS fetch of the usage report through WinINet.
//
// Beyond the plain open-read-close, every fetch is bounded: it ends within its
// bound however the server behaves, and it keeps at most kMaxReportBytes. It
// never shows WinINet dialogs, never accepts a certificate WinINet rejects,
// and never follows a redirect away from https (the credentials travel in
// the query).
//
// The fetch itself runs on a worker thread, so the caller's thread goes on
// answering its window messages through the connection, the TLS handshake and
// the wait for the answer. The worker keeps within the bound through
// WinINet's timeouts where they hold; where they do not (Wine's TLS handshake
// ignores them, and closing the handles does not end it either), the caller
// stops waiting at the bound and the worker finishes on its own later. So the
// worker owns everything it touches: the job is reference-counted, and the
// worker holds a reference on the module until it exits. Against a server
// that accepts the connection and never speaks, such workers could pile up
// without end: at most kMaxRunningFetches fetches run at once.
#include "get_source.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>

#include "ansi_text.h"
#include "exchange_lock.h"
#include "handles.h"
#include "message_pump.h"
#include "wake_flag.h"

namespace tavri::win {
namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)";
constexpr DWORD kChunkSize = 256;
constexpr size_t kMaxReportBytes = 16u * 1024 * 1024;
constexpr DWORD kOperationTimeoutMs = 6000;  // connect, send, each receive
constexpr int kMaxRedirects = 5;
constexpr DWORD kIdleMs = 1000;  // how long a worker waits for its next job
// How long a caller with no input waiting first waits without watching its
// message queue: a loopback or LAN answer comes within it, and a wait that
// watches only its flag is woken far sooner (see WakeFlag). A message that
// arrives meanwhile waits no longer than this.
constexpr DWORD kQuietWaitMs = 5;
constexpr DWORD kOpenFlags =
    INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;

LONG g_workers = 0;
LONG g_running = 0;  // fetches between their start and the end of their job

class Deadline {
public:
    explicit Deadline(DWORD boundMs) : bound_(boundMs) {}
    // The tick count wraps every 49.7 days; the unsigned difference of two
    // readings is right across the wrap.
    DWORD left() const {
        const DWORD spent = GetTickCount() - start_;
        return spent < bound_ ? bound_ - spent : 0;
    }
    // Whether an operation that may take up to ms still ends within the bound.
    bool allows(DWORD ms) const { return ms <= left(); }
    // connect, send, each receive: a redirect's new request takes three.
    DWORD operationMs() const { return std::min(kOperationTimeoutMs, bound_ / 3); }

private:
    DWORD bound_;
    DWORD start_ = GetTickCount();
};

void setTimeouts(HINTERNET handle, DWORD ms) {
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionA(handle, option, &ms, sizeof ms);
}

// Some WinINet implementations (Wine's) keep a request's send and receive
// timeouts from its connection, not from the session, and InternetOpenUrl
// makes both inside; so the request also gets them as soon as it exists. The
// call's context (never 0: status callbacks reach only calls with one) is
// the timeout.
void CALLBACK onStatus(HINTERNET, DWORD_PTR timeoutMs, DWORD status, LPVOID info, DWORD infoSize) {
    if (status == INTERNET_STATUS_HANDLE_CREATED && info && infoSize >= sizeof(HINTERNET))
        setTimeouts(*static_cast<HINTERNET*>(info), static_cast<DWORD>(timeoutMs));
}

UniqueInternet openSession(DWORD timeoutMs) {
    UniqueInternet session(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (session) {
        setTimeouts(session.get(), timeoutMs);
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
        UniqueInternet request(
            InternetOpenUrlA(session, url.c_str(), nullptr, 0, kOpenFlags, deadline.operationMs()));
        if (!request) return {};
        const DWORD status = statusCode(request.get());
        if (status < 300 || status > 399) return request;
        const std::string location = queryText(request.get(), HTTP_QUERY_LOCATION);
        if (location.empty()) return {};
        url = resolveUrl(url, location);
        if (!isHttps(url) || !deadline.allows(3 * deadline.operationMs())) return {};
    }
    return {};
}

// Reads the body in chunks of at most kChunkSize until a read brings nothing.
// A failed read, the size cap or the deadline end the body like its end. Each
// read takes only what has arrived (waiting for at least one byte, within the
// receive timeout), so a server that sends a byte now and then cannot stretch
// one read past the deadline.
std::string readBody(HINTERNET request, const Deadline& deadline) {
    std::string bytes;
    char chunk[kChunkSize];
    for (;;) {
        const size_t room = kMaxReportBytes - bytes.size();
        if (room == 0 || !deadline.allows(deadline.operationMs())) break;
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) break;
        DWORD want = kChunkSize;
        if (available > 0 && available < want) want = available;
        if (room < want) want = static_cast<DWORD>(room);
        DWORD got = 0;
        if (!InternetReadFile(request, chunk, want, &got) || got == 0) break;
        bytes.append(chunk, got);
    }
    return bytes;
}

// What a fetch's caller and its worker share; each holds one reference.
class FetchJob {
public:
    FetchJob(std::string ansiUrl, DWORD boundMs) : url(std::move(ansiUrl)), deadline(boundMs) {}
    void release() {
        if (InterlockedDecrement(&refs_) == 0) delete this;
    }

    const std::string url;  // in the ANSI code page
    const Deadline deadline;
    std::string body;  // UTF-8; the worker's until finished is set
    std::atomic<bool> finished{false};

private:
    LONG refs_ = 2;
};

// A worker thread runs one job after another: after each it waits a short
// while for the next before it ends. Starting a thread costs more than a
// loopback fetch under Wine, and a tag expansion fetches five times in a row.
// The thread holds one reference and so does the caller of its current job,
// which waits on `done`: raised after every job, so a caller that finds it up
// checks that its own job has finished.
class Worker {
public:
    void addRef() { InterlockedIncrement(&refs_); }
    void release() {
        if (InterlockedDecrement(&refs_) == 0) delete this;
    }

    WakeFlag wake;
    WakeFlag done;
    FetchJob* job = nullptr;  // the next one, set before wake is raised
    HMODULE module = nullptr;

private:
    LONG refs_ = 1;
};

template <typename T>
struct Releaser {
    void operator()(T* p) const { p->release(); }
};

void runJob(Worker* self, FetchJob* job) {
    try {
        const UniqueInternet session = openSession(job->deadline.operationMs());
        UniqueInternet request;
        if (session) request = openReport(session.get(), job->url, job->deadline);
        if (request) job->body = ansiToUtf8(readBody(request.get(), job->deadline));
    } catch (...) {
        job->body.clear();  // out of memory: nothing
    }
    // Its place goes back before its caller can see it finished, so the
    // caller's next fetch finds it free.
    InterlockedDecrement(&g_running);
    job->finished.store(true, std::memory_order_release);
    job->release();
    self->done.raise();
}

// The workers waiting for a job. The lock is held only to push or pop.
class IdleWorkers {
public:
    Worker* take() {
        const ExchangeLock lock(busy_);
        return count_ ? slots_[--count_] : nullptr;
    }
    bool park(Worker* worker) {
        const ExchangeLock lock(busy_);
        if (count_ == kMaxIdleFetchWorkers) return false;
        slots_[count_++] = worker;
        return true;
    }
    // False when a caller has taken it meanwhile.
    bool leave(Worker* worker) {
        const ExchangeLock lock(busy_);
        Worker** end = slots_ + count_;
        Worker** found = std::find(slots_, end, worker);
        if (found == end) return false;
        std::copy(found + 1, end, found);
        --count_;
        return true;
    }

private:
    LONG busy_ = 0;
    size_t count_ = 0;
    Worker* slots_[kMaxIdleFetchWorkers] = {};
};

IdleWorkers g_idle;

// The worker's next job, or null when none came within kIdleMs.
FetchJob* nextJob(Worker* self) {
    self->job = nullptr;
    if (!g_idle.park(self)) return nullptr;
    if (!self->wake.wait(kIdleMs)) {
        if (g_idle.leave(self)) return nullptr;
        // A caller took it just as the wait ended: its job is on the way.
        self->wake.wait(INFINITE);
    }
    return self->job;
}

DWORD WINAPI workerMain(void* param) {
    auto* self = static_cast<Worker*>(param);
    const HMODULE module = self->module;
    for (FetchJob* job = self->job; job; job = nextJob(self))
        runJob(self, job);
    self->release();
    InterlockedDecrement(&g_workers);
    FreeLibraryAndExitThread(module, 0);
}

// One of the places for running fetches; false when all are taken. Any
// running fetch may be left behind at its bound, so each takes one when it
// starts, and its worker gives it back when the job ends.
bool takePlace() {
    if (InterlockedIncrement(&g_running) <= kMaxRunningFetches) return true;
    InterlockedDecrement(&g_running);
    return false;
}

// Hands job to an idle worker, or to a new one; the worker comes with a
// reference for the caller. A worker holds a reference on the module that
// holds its code from before it starts until it exits, so that module stays
// loaded under it. Workers run WinINet, the TLS stack and certificate chain
// building (which may fetch revocation data), so they get the stack the
// system gives a thread by default.
Worker* startJob(FetchJob* job) {
    if (Worker* idle = g_idle.take()) {
        idle->addRef();
        idle->job = job;
        idle->wake.raise();
        return idle;
    }
    // Out of memory is a failure to start like any other: the caller's place goes back.
    std::unique_ptr<Worker, Releaser<Worker>> worker(new (std::nothrow) Worker);
    if (!worker || !worker->wake.valid() || !worker->done.valid() ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&workerMain), &worker->module))
        return nullptr;
    worker->job = job;
    worker->addRef();
    InterlockedIncrement(&g_workers);
    const UniqueKernelHandle thread(CreateThread(nullptr, 0, workerMain, worker.get(), 0, nullptr));
    if (thread) return worker.release();
    InterlockedDecrement(&g_workers);
    FreeLibrary(worker->module);
    worker->release();  // the thread's
    return nullptr;
}

// Waits for the caller's job, dispatching the caller's messages until the
// deadline; when none is waiting yet, first quietly for a moment.
bool waitFor(Worker& worker, const FetchJob& job) {
    if (HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0) {
        const Deadline quiet(std::min(kQuietWaitMs, job.deadline.left()));
        // A raise left over from a job its caller stopped waiting for: wait on.
        while (!job.finished.load(std::memory_order_acquire) && quiet.left() > 0 &&
               worker.done.wait(quiet.left())) {
        }
    }
    return job.finished.load(std::memory_order_acquire) ||
           waitDispatchingMessages(worker.done.event(), job.finished, job.deadline.left());
}

}  // namespace

std::string GetSource(const std::string& url, unsigned long boundMs) {
    auto created = std::make_unique<FetchJob>(utf8ToAnsi(url), boundMs);
    if (!takePlace()) return {};
    Worker* const started = startJob(created.get());
    if (!started) {
        InterlockedDecrement(&g_running);
        return {};
    }
    const std::unique_ptr<FetchJob, Releaser<FetchJob>> job(created.release());
    const std::unique_ptr<Worker, Releaser<Worker>> worker(started);
    if (!waitFor(*worker, *job)) return {};
    return std::move(job->body);
}

long liveFetchWorkers() { return InterlockedCompareExchange(&g_workers, 0, 0); }

}  // namespace tavri::win
