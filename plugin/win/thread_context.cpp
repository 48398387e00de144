#include "thread_context.h"

#include <oleauto.h>

#include "TavriPlugin_h.h"
#include "com_error.h"
#include "module.h"

#ifndef TAVRI_PROVIDER_HOST
#error "TAVRI_PROVIDER_HOST must name the provider's report host"
#endif

namespace tavri::win {
namespace {

DWORD g_slot = TLS_OUT_OF_INDEXES;
ThreadContext* g_contexts = nullptr;  // pushed lock-free, freed only at unload

}  // namespace

ThreadContext::ThreadContext()
    : form_(SettingsFormServices{store_, windows_, messages_, processes_}),
      services_{form_, messages_, reports_, numbers_, ansi_, reportUrlPrefix(TAVRI_PROVIDER_HOST)} {}

ThreadContext& ThreadContext::current() {
    if (g_slot == TLS_OUT_OF_INDEXES) throw HresultError{E_UNEXPECTED};
    auto* context = static_cast<ThreadContext*>(TlsGetValue(g_slot));
    if (!context) {
        context = new ThreadContext();
        if (!TlsSetValue(g_slot, context)) {
            delete context;
            throw HresultError{HRESULT_FROM_WIN32(GetLastError())};
        }
        void* head;
        do {
            head = g_contexts;
            context->next_ = static_cast<ThreadContext*>(head);
        } while (InterlockedCompareExchangePointer(reinterpret_cast<void**>(&g_contexts), context,
                                                   head) != head);
    }
    context->start();
    return *context;
}

void ThreadContext::start() {
    if (!vtableInfo_) loadTypeInfo();
    if (!settingsLoaded_) {
        form_.LoadSettings();
        settingsLoaded_ = true;
    }
}

void ThreadContext::loadTypeInfo() {
    const std::wstring path = thisModulePath();
    if (path.empty()) throw HresultError{HRESULT_FROM_WIN32(GetLastError())};
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
    ComPtr<ITypeInfo> dispatch;
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(IID__plugin, dispatch.put());
    // The dual interface's dispatch description refers to its vtable one.
    HREFTYPE vtableRef = 0;
    if (SUCCEEDED(hr)) hr = dispatch->GetRefTypeOfImplType(-1, &vtableRef);
    ComPtr<ITypeInfo> vtable;
    if (SUCCEEDED(hr)) hr = dispatch->GetRefTypeInfo(vtableRef, vtable.put());
    if (FAILED(hr)) throw HresultError{hr};
    dispatchInfo_ = std::move(dispatch);
    vtableInfo_ = std::move(vtable);
}

bool reserveThreadContextSlot() {
    g_slot = TlsAlloc();
    return g_slot != TLS_OUT_OF_INDEXES;
}

void releaseThreadContexts() {
    // Only reached when the DLL is unloaded, which COM does only once no
    // object, lock or settings window is left: the contexts are idle.
    for (ThreadContext* c = g_contexts; c;) delete std::exchange(c, c->next_);
    g_contexts = nullptr;
    if (g_slot != TLS_OUT_OF_INDEXES) TlsFree(std::exchange(g_slot, TLS_OUT_OF_INDEXES));
}

}  // namespace tavri::win
