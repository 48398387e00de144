#include "thread_context.h"

#include <atomic>
#include <utility>

#include "com_error.h"
#include "report_url.h"

#ifndef TAVRI_PROVIDER_HOST
#error "TAVRI_PROVIDER_HOST must name the provider's report host"
#endif

namespace tavri::win {

// One entry of the process's list of contexts, for unload. Entries are only
// ever added, at the head, and freed at unload; a context that goes empties
// its entry, and a new context takes the first empty one.
struct ContextListEntry {
    std::atomic<ThreadContext*> context{nullptr};
    ContextListEntry* next = nullptr;
};

namespace {

DWORD g_tls = TLS_OUT_OF_INDEXES;
std::atomic<ContextListEntry*> g_contexts{nullptr};

ContextListEntry* claimListEntry(ThreadContext* context) {
    for (ContextListEntry* e = g_contexts.load(std::memory_order_acquire); e; e = e->next) {
        ThreadContext* empty = nullptr;
        if (e->context.compare_exchange_strong(empty, context, std::memory_order_acq_rel)) return e;
    }
    auto* entry = new ContextListEntry;
    entry->context.store(context, std::memory_order_relaxed);
    entry->next = g_contexts.load(std::memory_order_relaxed);
    while (!g_contexts.compare_exchange_weak(entry->next, entry, std::memory_order_release,
                                             std::memory_order_relaxed)) {
    }
    return entry;
}

}  // namespace

ThreadContext::ThreadContext()
    : form_(SettingsFormServices{store_, windows_, messages_, processes_}),
      services_{form_, messages_, reports_, numbers_, ansi_, reportUrlPrefix(TAVRI_PROVIDER_HOST)} {
}

ThreadContext::~ThreadContext() {
    if (entry_) entry_->context.store(nullptr, std::memory_order_release);
}

ThreadContext& ThreadContext::current() {
    if (g_tls == TLS_OUT_OF_INDEXES) throw HresultError{E_UNEXPECTED};
    auto* context = static_cast<ThreadContext*>(TlsGetValue(g_tls));
    if (!context) {
        context = new ThreadContext();
        try {
            context->entry_ = claimListEntry(context);
            if (!TlsSetValue(g_tls, context))
                throw HresultError{HRESULT_FROM_WIN32(GetLastError())};
        } catch (...) {
            delete context;
            throw;
        }
    }
    context->start();
    return *context;
}

void ThreadContext::release() {
    if (InterlockedDecrement(&refs_) == 0 && !leftToSystem_.load()) delete this;
}

// Under the loader lock, on the ending thread, where no window may be
// destroyed. A settings window the thread still has is left to the system,
// which destroys it once the thread has ended; the context is then never
// freed, since the window's procedure reaches it until that moment. Objects
// of the thread still alive keep using it. Either way it leaves the process's
// list, so an unload never frees it.
void ThreadContext::detach() {
    if (entry_) entry_->context.store(nullptr, std::memory_order_release);
    entry_ = nullptr;
    if (form_.isLoaded()) {
        leftToSystem_.store(true);
        leaveSettingsWindow();
    }
    release();
}

void ThreadContext::start() {
    if (!settingsLoaded_) {
        form_.LoadSettings();
        settingsLoaded_ = true;
    }
}

bool reserveThreadContextIndex() {
    g_tls = TlsAlloc();
    return g_tls != TLS_OUT_OF_INDEXES;
}

// Under the loader lock, on the ending thread; nothing is released through
// COM (objects hold their type information themselves).
void endThreadContext() {
    if (g_tls == TLS_OUT_OF_INDEXES) return;
    if (auto* context = static_cast<ThreadContext*>(TlsGetValue(g_tls))) {
        TlsSetValue(g_tls, nullptr);
        context->detach();
    }
}

void releaseThreadContexts() {
    // Only reached when the DLL is unloaded while the process goes on, which
    // cannot happen once a settings window has existed (creating one pins the
    // module): the contexts listed belong to threads that still run and never
    // had one. A context is freed only when its thread alone holds it; one
    // that objects still use stays, with its entry.
    for (ContextListEntry* e = g_contexts.exchange(nullptr); e;) {
        ContextListEntry* const next = e->next;
        ThreadContext* const context = e->context.load(std::memory_order_acquire);
        if (!context || InterlockedCompareExchange(&context->refs_, 0, 1) == 1) {
            delete context;
            delete e;
        }
        e = next;
    }
    if (g_tls != TLS_OUT_OF_INDEXES) TlsFree(std::exchange(g_tls, TLS_OUT_OF_INDEXES));
}

}  // namespace tavri::win
