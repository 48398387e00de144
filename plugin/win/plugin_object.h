#pragma once
// The COM object of class `plugin`: the dual interface _plugin over the
// core's tavri::plugin, with automation errors reported through IErrorInfo.
#include "TavriPlugin_h.h"
#include "handles.h"
#include "plugin.h"

namespace tavri::win {

class ThreadContext;

class PluginObject final : public _plugin, public ISupportErrorInfo {
public:
    // A new object on the calling thread (whose context is started first),
    // queried for riid.
    static HRESULT create(REFIID riid, void** object);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    // _plugin
    HRESULT STDMETHODCALLTYPE Initialize(LONG nVersion, BSTR sUserEmail, IDispatch* oMessenger,
                                         VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Uninitialize(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE GetPublishInfo(BSTR* sPluginName, LONG* nCommandCount,
                                             LONG* nTagCount, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetPublishCommandInfo(LONG nCommandIdx, BSTR* sName, BSTR* sValue,
                                                    BSTR* sHelp, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE GetPublishTagInfo(LONG nTagIdx, BSTR* sName, BSTR* sValue,
                                                VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE ParseCommand(BSTR sCommand, BSTR sCommandArg,
                                           IDispatch* oConversationWnd, BSTR* sResult,
                                           VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ParseTag(BSTR sTag, IDispatch* oConversationWnd, BSTR* sResult,
                                       VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE usage(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE plan_limit(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE plan_name(VARIANT* result) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    PluginObject(ThreadContext& context, ComPtr<ITypeInfo> dispatchInfo,
                 ComPtr<ITypeInfo> vtableInfo);
    ~PluginObject();
    HRESULT reportValue(Value (tavri::plugin::*method)(), VARIANT* result);

    LONG refs_ = 1;
    ThreadContext& context_;  // one reference, held for the object's life
    const ComPtr<ITypeInfo> dispatchInfo_, vtableInfo_;
    tavri::plugin core_;
};

}  // namespace tavri::win
