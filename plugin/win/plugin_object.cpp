#include "plugin_object.h"

#include <oleauto.h>

#include <new>

#include "com_error.h"
#include "dispatch_invoke.h"
#include "module.h"
#include "text.h"
#include "plugin_type_info.h"
#include "thread_context.h"

namespace tavri::win {
namespace {

// An in/out string argument: read on entry, written back only if the core
// changed it (the old string is freed, a new one allocated).
class InOutText {
public:
    explicit InOutText(BSTR* slot) : slot_(slot) {
        if (!slot) throw HresultError{E_POINTER};
        text = original_ = bstrToUtf8(*slot);
    }
    void commit() {
        if (text == original_) return;
        BSTR replacement = utf8ToBstr(text);
        if (!replacement) throw std::bad_alloc();
        SysFreeString(*slot_);
        *slot_ = replacement;
    }

    std::string text;

private:
    BSTR* slot_;
    std::string original_;
};

template <typename T>
T& outSlot(T* p) {
    if (!p) throw HresultError{E_POINTER};
    return *p;
}

VARIANT_BOOL toVariantBool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

void setEmpty(VARIANT* result) { VariantInit(&outSlot(result)); }

void setValue(VARIANT* result, const Value& value) {
    VARIANT& out = outSlot(result);
    VariantInit(&out);
    if (value.isInteger()) {
        V_VT(&out) = VT_I4;
        V_I4(&out) = value.asInteger();
    } else if (value.isText()) {
        BSTR text = utf8ToBstr(value.asText());
        if (!text) throw std::bad_alloc();
        V_VT(&out) = VT_BSTR;
        V_BSTR(&out) = text;
    }
}

}  // namespace

// Holds a reference to the object for the whole of a call that may dispatch
// window messages: the host may release its last reference from one of them.
using KeepAlive = ComPtr<_plugin>;

PluginObject::PluginObject(ThreadContext& context, ComPtr<ITypeInfo> dispatchInfo,
                           ComPtr<ITypeInfo> vtableInfo)
    : context_(context),
      dispatchInfo_(std::move(dispatchInfo)),
      vtableInfo_(std::move(vtableInfo)),
      core_(context.services()) {
    context_.addRef();
    objectCreated();
}

PluginObject::~PluginObject() {
    context_.release();
    objectDestroyed();
}

HRESULT PluginObject::create(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    PluginObject* created = nullptr;
    const HRESULT hr = guarded([&] {
        const PluginTypeInfo& info = pluginTypeInfo();
        created = new PluginObject(ThreadContext::current(), info.dispatch, info.vtable);
    });
    if (FAILED(hr)) return hr;
    const HRESULT qi = created->QueryInterface(riid, object);
    created->Release();
    return qi;
}

HRESULT PluginObject::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__plugin) {
        *object = static_cast<_plugin*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG PluginObject::AddRef() { return InterlockedIncrement(&refs_); }

ULONG PluginObject::Release() {
    const ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
}

HRESULT PluginObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT PluginObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *info = dispatchInfo_.get();
    (*info)->AddRef();
    return S_OK;
}

HRESULT PluginObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(vtableInfo_.get(), names, count, ids);
}

HRESULT PluginObject::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    const KeepAlive self(this);
    try {
        return invokeThroughTypeInfo(static_cast<_plugin*>(this), vtableInfo_.get(), member, flags,
                                     params, result, exception, argError);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT PluginObject::Initialize(LONG nVersion, BSTR sUserEmail, IDispatch*, VARIANT_BOOL* result) {
    return guarded([&] {
        VARIANT_BOOL& out = outSlot(result);
        out = toVariantBool(core_.Initialize(nVersion, bstrToUtf8(sUserEmail)));
    });
}

HRESULT PluginObject::Uninitialize(VARIANT* result) {
    return guarded([&] {
        setEmpty(result);
        core_.Uninitialize();
    });
}

HRESULT PluginObject::GetPublishInfo(BSTR* sPluginName, LONG* nCommandCount, LONG* nTagCount,
                                     VARIANT_BOOL* result) {
    return guarded([&] {
        VARIANT_BOOL& out = outSlot(result);
        InOutText name(sPluginName);
        LONG& commands = outSlot(nCommandCount);
        LONG& tags = outSlot(nTagCount);
        std::int32_t commandCount = commands, tagCount = tags;
        const bool ok = core_.GetPublishInfo(name.text, commandCount, tagCount);
        name.commit();
        commands = commandCount;
        tags = tagCount;
        out = toVariantBool(ok);
    });
}

HRESULT PluginObject::GetPublishCommandInfo(LONG nCommandIdx, BSTR* sName, BSTR* sValue,
                                            BSTR* sHelp, VARIANT* result) {
    return guarded([&] {
        setEmpty(result);
        InOutText name(sName), value(sValue), help(sHelp);
        core_.GetPublishCommandInfo(nCommandIdx, name.text, value.text, help.text);
        name.commit();
        value.commit();
        help.commit();
    });
}

HRESULT PluginObject::GetPublishTagInfo(LONG nTagIdx, BSTR* sName, BSTR* sValue, VARIANT* result) {
    return guarded([&] {
        setEmpty(result);
        InOutText name(sName), value(sValue);
        core_.GetPublishTagInfo(nTagIdx, name.text, value.text);
        name.commit();
        value.commit();
    });
}

HRESULT PluginObject::ParseCommand(BSTR sCommand, BSTR, IDispatch*, BSTR* sResult,
                                   VARIANT_BOOL* result) {
    const KeepAlive self(this);
    return guarded([&] {
        VARIANT_BOOL& out = outSlot(result);
        InOutText text(sResult);
        const bool handled = core_.ParseCommand(bstrToUtf8(sCommand), text.text);
        text.commit();
        out = toVariantBool(handled);
    });
}

HRESULT PluginObject::ParseTag(BSTR sTag, IDispatch*, BSTR* sResult, VARIANT_BOOL* result) {
    const KeepAlive self(this);
    return guarded([&] {
        VARIANT_BOOL& out = outSlot(result);
        InOutText text(sResult);
        const bool handled = core_.ParseTag(bstrToUtf8(sTag), text.text);
        text.commit();
        out = toVariantBool(handled);
    });
}

HRESULT PluginObject::reportValue(Value (tavri::plugin::*method)(), VARIANT* result) {
    const KeepAlive self(this);
    return guarded([&] {
        setEmpty(result);
        setValue(result, (core_.*method)());
    });
}

HRESULT PluginObject::usage(VARIANT* result) { return reportValue(&tavri::plugin::usage, result); }

HRESULT PluginObject::plan_limit(VARIANT* result) {
    return reportValue(&tavri::plugin::plan_limit, result);
}

HRESULT PluginObject::plan_name(VARIANT* result) {
    return reportValue(&tavri::plugin::plan_name, result);
}

HRESULT PluginObject::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID__plugin ? S_OK : S_FALSE;
}

}  // namespace tavri::win
