#include "thread_context.h"

#include <oleauto.h>

#include <atomic>
#include <memory>

#include "TavriPlugin_h.h"
#include "com_error.h"
#include "module.h"

#ifndef TAVRI_PROVIDER_HOST
#error "TAVRI_PROVIDER_HOST must name the provider's report host"
#endif

namespace tavri::win {

// One entry of the process's list of contexts, for unload. Entries are only
// ever added, at the head, and freed at unload; a context that goes empties
// its entry, and a new context takes the first empty one.
struct ContextSlot {
    std::atomic<ThreadContext*> context{nullptr};
    ContextSlot* next = nullptr;
};

namespace {

DWORD g_tls = TLS_OUT_OF_INDEXES;
std::atomic<ContextSlot*> g_slots{nullptr};
std::atomic<PluginTypeInfo*> g_typeInfo{nullptr};

ContextSlot* claimSlot(ThreadContext* context) {
    for (ContextSlot* s = g_slots.load(std::memory_order_acquire); s; s = s->next) {
        ThreadContext* empty = nullptr;
        if (s->context.compare_exchange_strong(empty, context, std::memory_order_acq_rel)) return s;
    }
    auto* slot = new ContextSlot;
    slot->context.store(context, std::memory_order_relaxed);
    slot->next = g_slots.load(std::memory_order_relaxed);
    while (!g_slots.compare_exchange_weak(slot->next, slot, std::memory_order_release,
                                          std::memory_order_relaxed)) {
    }
    return slot;
}

PluginTypeInfo loadTypeInfo() {
    const std::wstring path = thisModulePath();
    if (path.empty()) throw HresultError{HRESULT_FROM_WIN32(GetLastError())};
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
    PluginTypeInfo info;
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(IID__plugin, info.dispatch.put());
    // The dual interface's dispatch description refers to its vtable one.
    HREFTYPE vtableRef = 0;
    if (SUCCEEDED(hr)) hr = info.dispatch->GetRefTypeOfImplType(-1, &vtableRef);
    if (SUCCEEDED(hr)) hr = info.dispatch->GetRefTypeInfo(vtableRef, info.vtable.put());
    if (FAILED(hr)) throw HresultError{hr};
    return info;
}

}  // namespace

ThreadContext::ThreadContext()
    : form_(SettingsFormServices{store_, windows_, messages_, processes_}),
      services_{form_, messages_, reports_, numbers_, ansi_, reportUrlPrefix(TAVRI_PROVIDER_HOST)} {
}

ThreadContext::~ThreadContext() {
    if (slot_) slot_->context.store(nullptr, std::memory_order_release);
}

ThreadContext& ThreadContext::current() {
    if (g_tls == TLS_OUT_OF_INDEXES) throw HresultError{E_UNEXPECTED};
    auto* context = static_cast<ThreadContext*>(TlsGetValue(g_tls));
    if (!context) {
        context = new ThreadContext();
        try {
            context->slot_ = claimSlot(context);
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
    if (slot_) slot_->context.store(nullptr, std::memory_order_release);
    slot_ = nullptr;
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

const PluginTypeInfo& pluginTypeInfo() {
    if (const PluginTypeInfo* loaded = g_typeInfo.load(std::memory_order_acquire)) return *loaded;
    auto fresh = std::make_unique<PluginTypeInfo>(loadTypeInfo());
    PluginTypeInfo* first = nullptr;
    if (g_typeInfo.compare_exchange_strong(first, fresh.get(), std::memory_order_acq_rel))
        return *fresh.release();
    return *first;  // another thread loaded it meanwhile; ours goes
}

void releasePluginTypeInfo() { delete g_typeInfo.exchange(nullptr, std::memory_order_acq_rel); }

bool reserveThreadContextSlot() {
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
    for (ContextSlot* s = g_slots.exchange(nullptr); s;) {
        ContextSlot* const next = s->next;
        ThreadContext* const context = s->context.load(std::memory_order_acquire);
        if (!context || InterlockedCompareExchange(&context->refs_, 0, 1) == 1) {
            delete context;
            delete s;
        }
        s = next;
    }
    if (g_tls != TLS_OUT_OF_INDEXES) TlsFree(std::exchange(g_tls, TLS_OUT_OF_INDEXES));
}

}  // namespace tavri::win
