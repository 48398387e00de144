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
//
// A request over a kept-alive connection that the network has silently
// forgotten (an expired NAT entry, a roam, a resume from sleep) would wait
// for its receive timeout and fail. So when a request on a reused connection
// brings no answer within kDeadLinkWaitMs, or fails without one, the caller
// sends it once more on another worker, which connects afresh (the first
// request still holds the old connection), and the first full answer wins.
// A request on a fresh connection is never sent twice.
#include "get_source.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>

#include "ansi_text.h"
#include "dead_link.h"
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
    // connect, send, each receive, for an attempt that starts now: a
    // redirect's new request takes three.
    DWORD operationMs() const { return std::min(kOperationTimeoutMs, left() / 3); }

private:
    DWORD bound_;
    DWORD start_ = GetTickCount();
};

void setTimeouts(HINTERNET handle, DWORD ms) {
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionA(handle, option, &ms, sizeof ms);
}

// One try at the report: its first request and the redirects it follows, on
// one worker. The worker's status callback records how the current request
// stands, so that the caller can tell whether to send it once more.
class Attempt {
public:
    // Set before the worker starts.
    void prepare(const std::string& startUrl, int redirectsLeft, DWORD operationMs) {
        url_ = startUrl;
        redirectsLeft_ = redirectsLeft;
        operationMs_ = operationMs;
    }
    DWORD operationMs() const { return operationMs_; }
    // Whom the attempt tells when it ends or sends a request over a reused
    // connection: the caller's flag to look, and the worker's flag it waits on.
    void reportTo(std::atomic<bool>& progressed, WakeFlag& worker) {
        progressed_ = &progressed;
        worker_ = &worker;
    }
    void tellCaller() {
        progressed_->store(true, std::memory_order_release);
        worker_->raise();
    }

    // The worker's, for each request it sends. The caller may read the request
    // back (where a retry starts) at any time.
    void startRequest(const std::string& url, int redirectsLeft) {
        const ExchangeLock lock(busy_);
        url_ = url;
        redirectsLeft_ = redirectsLeft;
        progress_ = {};
        connecting_ = false;
    }
    void onConnecting() { connecting_ = true; }
    void onSending() {
        bool reused;
        {
            const ExchangeLock lock(busy_);
            progress_.sent = true;
            progress_.reused = !connecting_;
            progress_.sentAt = GetTickCount();
            reused = progress_.reused;
        }
        if (reused) tellCaller();  // who now waits until a retry is due
    }
    void onAnswer() {
        const ExchangeLock lock(busy_);
        progress_.answered = true;
    }
    // body is what came back (UTF-8), when answered.
    void end(std::string body) {
        {
            const ExchangeLock lock(busy_);
            body_ = std::move(body);
            progress_.ended = true;
        }
        tellCaller();
    }

    // The caller's.
    RequestProgress progress() const {
        const ExchangeLock lock(busy_);
        return progress_;
    }
    std::pair<std::string, int> currentRequest() const {
        const ExchangeLock lock(busy_);
        return {url_, redirectsLeft_};
    }
    // Only once progress() says it ended.
    std::string takeBody() { return std::move(body_); }

private:
    mutable LONG busy_ = 0;
    std::string url_;  // in the ANSI code page
    int redirectsLeft_ = 0;
    DWORD operationMs_ = 0;
    std::atomic<bool>* progressed_ = nullptr;
    WakeFlag* worker_ = nullptr;
    bool connecting_ = false;  // a new connection was made for the current request
    RequestProgress progress_;
    std::string body_;
};

// Some WinINet implementations (Wine's) keep a request's send and receive
// timeouts from its connection, not from the session, and InternetOpenUrl
// makes both inside; so the request also gets them as soon as it exists. The
// call's context (never 0: status callbacks reach only calls with one) is
// its attempt. A request on a connection kept from an earlier one goes out
// without INTERNET_STATUS_CONNECTING_TO_SERVER.
void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoSize) {
    auto* attempt = reinterpret_cast<Attempt*>(context);
    switch (status) {
        case INTERNET_STATUS_HANDLE_CREATED:
            if (info && infoSize >= sizeof(HINTERNET))
                setTimeouts(*static_cast<HINTERNET*>(info), attempt->operationMs());
            break;
        case INTERNET_STATUS_CONNECTING_TO_SERVER:
            attempt->onConnecting();
            break;
        case INTERNET_STATUS_SENDING_REQUEST:
            attempt->onSending();
            break;
        case INTERNET_STATUS_RESPONSE_RECEIVED:
            attempt->onAnswer();
            break;
    }
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

// Opens the attempt's URL and follows redirects as long as they stay on
// https. Null when nothing usable could be opened.
UniqueInternet openReport(HINTERNET session, Attempt& attempt, const Deadline& deadline) {
    auto [url, redirectsLeft] = attempt.currentRequest();
    for (;; --redirectsLeft) {
        attempt.startRequest(url, redirectsLeft);
        UniqueInternet request(InternetOpenUrlA(session, url.c_str(), nullptr, 0, kOpenFlags,
                                                reinterpret_cast<DWORD_PTR>(&attempt)));
        if (!request) return {};
        const DWORD status = statusCode(request.get());
        if (status < 300 || status > 399) return request;
        if (redirectsLeft == 0) return {};
        const std::string location = queryText(request.get(), HTTP_QUERY_LOCATION);
        if (location.empty()) return {};
        url = resolveUrl(url, location);
        if (!isHttps(url) || !deadline.allows(3 * attempt.operationMs())) return {};
    }
}

// Reads the body in chunks of at most kChunkSize until a read brings nothing.
// A failed read, the size cap or the deadline end the body like its end. Each
// read takes only what has arrived (waiting for at least one byte, within the
// receive timeout), so a server that sends a byte now and then cannot stretch
// one read past the deadline.
std::string readBody(HINTERNET request, const Deadline& deadline, DWORD operationMs) {
    std::string bytes;
    char chunk[kChunkSize];
    for (;;) {
        const size_t room = kMaxReportBytes - bytes.size();
        if (room == 0 || !deadline.allows(operationMs)) break;
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

// What a fetch's caller and the workers of its attempts share; each holds
// one reference.
class FetchJob {
public:
    FetchJob(const std::string& ansiUrl, DWORD boundMs) : deadline(boundMs) {
        attempts[0].prepare(ansiUrl, kMaxRedirects, deadline.operationMs());
    }
    void addRef() { InterlockedIncrement(&refs_); }
    void release() {
        if (InterlockedDecrement(&refs_) == 0) delete this;
    }

    const Deadline deadline;
    Attempt attempts[2];  // the first, and the same request once more
    // Raised when an attempt has news for the caller, lowered by the caller
    // before it looks.
    std::atomic<bool> progressed{false};

private:
    LONG refs_ = 1;
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
    FetchJob* job = nullptr;  // the next one and its attempt, set before wake is raised
    Attempt* attempt = nullptr;
    HMODULE module = nullptr;

private:
    LONG refs_ = 1;
};

template <typename T>
struct Releaser {
    void operator()(T* p) const { p->release(); }
};

void runJob(FetchJob* job, Attempt& attempt) {
    std::string body;
    try {
        const UniqueInternet session = openSession(attempt.operationMs());
        UniqueInternet request;
        if (session) request = openReport(session.get(), attempt, job->deadline);
        if (request)
            body = ansiToUtf8(readBody(request.get(), job->deadline, attempt.operationMs()));
    } catch (...) {
        body.clear();  // out of memory: nothing
    }
    // Its place goes back before its caller can see it ended, so the caller's
    // next fetch finds it free.
    InterlockedDecrement(&g_running);
    attempt.end(std::move(body));
    job->release();
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
        runJob(job, *self->attempt);
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

// Hands an attempt of job to an idle worker, or to a new one, with a
// reference on job for it; the worker comes with a reference for the caller.
// A worker holds a reference on the module that holds its code from before it
// starts until it exits, so that module stays loaded under it. Workers run
// WinINet, the TLS stack and certificate chain building (which may fetch
// revocation data), so they get the stack the system gives a thread by
// default. Null when no worker could start.
Worker* startJob(FetchJob* job, Attempt& attempt) {
    job->addRef();
    if (Worker* idle = g_idle.take()) {
        attempt.reportTo(job->progressed, idle->done);
        idle->addRef();
        idle->job = job;
        idle->attempt = &attempt;
        idle->wake.raise();
        return idle;
    }
    // Out of memory is a failure to start like any other.
    std::unique_ptr<Worker, Releaser<Worker>> worker(new (std::nothrow) Worker);
    if (worker && worker->wake.valid() && worker->done.valid() &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(&workerMain), &worker->module)) {
        attempt.reportTo(job->progressed, worker->done);
        worker->job = job;
        worker->attempt = &attempt;
        worker->addRef();
        InterlockedIncrement(&g_workers);
        const UniqueKernelHandle thread(
            CreateThread(nullptr, 0, workerMain, worker.get(), 0, nullptr));
        if (thread) return worker.release();
        InterlockedDecrement(&g_workers);
        FreeLibrary(worker->module);
        worker->release();  // the thread's
    }
    job->release();
    return nullptr;
}

using WorkerRef = std::unique_ptr<Worker, Releaser<Worker>>;

// Starts the attempt on a worker, if a place is free and a worker starts;
// the place goes back when none does.
WorkerRef startAttempt(FetchJob& job, Attempt& attempt) {
    if (!takePlace()) return {};
    Worker* const started = startJob(&job, attempt);
    if (!started) InterlockedDecrement(&g_running);
    return WorkerRef(started);
}

// Waits for the first full answer of the job's attempts, dispatching the
// caller's messages until the deadline, and sends the first request once more
// when it is due; when no message is waiting yet, first waits quietly for a
// moment. "" when no attempt brought an answer.
std::string awaitAnswer(FetchJob& job, WorkerRef first) {
    WorkerRef retry;
    bool retryTried = false;
    if (HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0) {
        const Deadline quiet(std::min(kQuietWaitMs, job.deadline.left()));
        // A raise left over from a job its caller stopped waiting for, or for a
        // request sent: wait on.
        while (!job.attempts[0].progress().ended && quiet.left() > 0 &&
               first->done.wait(quiet.left())) {
        }
    }
    for (;;) {
        // Raises so far are news about to be looked at: lowered, lest the
        // wait below end at once.
        first->done.wait(0);
        if (retry) retry->done.wait(0);
        job.progressed.store(false, std::memory_order_relaxed);
        const RequestProgress tried[2] = {job.attempts[0].progress(), job.attempts[1].progress()};
        for (int i = 0; i < 2; ++i)
            if (tried[i].ended && tried[i].answered) return job.attempts[i].takeBody();
        if (!retryTried && retryDue(tried[0], GetTickCount(), job.deadline.left())) {
            retryTried = true;
            const auto [url, redirectsLeft] = job.attempts[0].currentRequest();
            job.attempts[1].prepare(url, redirectsLeft, job.deadline.operationMs());
            retry = startAttempt(job, job.attempts[1]);
            continue;
        }
        if ((tried[0].ended && (!retry || tried[1].ended)) || job.deadline.left() == 0) return {};
        DWORD timeout = job.deadline.left();  // or until the retry is due
        if (!retryTried) timeout = std::min<DWORD>(timeout, msUntilRetry(tried[0], GetTickCount()));
        HANDLE events[2] = {first->done.event(), retry ? retry->done.event() : nullptr};
        waitDispatchingMessages(events, retry ? 2 : 1, job.progressed, timeout);
    }
}

}  // namespace

std::string GetSource(const std::string& url, unsigned long boundMs) {
    const std::unique_ptr<FetchJob, Releaser<FetchJob>> job(new FetchJob(utf8ToAnsi(url), boundMs));
    WorkerRef first = startAttempt(*job, job->attempts[0]);
    if (!first) return {};
    return awaitAnswer(*job, std::move(first));
}

long liveFetchWorkers() { return InterlockedCompareExchange(&g_workers, 0, 0); }

}  // namespace tavri::win
