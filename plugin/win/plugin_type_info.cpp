#include "plugin_type_info.h"

#include <oleauto.h>

#include <atomic>
#include <memory>

#include "TavriPlugin_h.h"
#include "com_error.h"
#include "module.h"

namespace tavri::win {
namespace {

std::atomic<PluginTypeInfo*> g_typeInfo{nullptr};

PluginTypeInfo loadTypeInfo() {
    const std::wstring path = serverModulePath();
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

const PluginTypeInfo& pluginTypeInfo() {
    if (const PluginTypeInfo* loaded = g_typeInfo.load(std::memory_order_acquire)) return *loaded;
    auto fresh = std::make_unique<PluginTypeInfo>(loadTypeInfo());
    PluginTypeInfo* first = nullptr;
    if (g_typeInfo.compare_exchange_strong(first, fresh.get(), std::memory_order_acq_rel))
        return *fresh.release();
    return *first;  // another thread loaded it meanwhile; ours goes
}

void releasePluginTypeInfo() { delete g_typeInfo.exchange(nullptr, std::memory_order_acq_rel); }

}  // namespace tavri::win
