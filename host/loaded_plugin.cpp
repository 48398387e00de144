#include "loaded_plugin.h"

#include "dispatch_call.h"

namespace plughost {

LoadedPlugin::LoadedPlugin(const std::wstring& progId, const HostIdentity& host) : progId_(progId) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, object_.putVoid());
    if (FAILED(hr)) throw CallFailure{hr, 0, L"cannot create " + progId};

    Variant result;
    Bstr email;
    callByName(object_.get(), L"Initialize",
               {longValue(host.version), stringValue(host.userEmail, email),
                dispatchValue(host.messenger)},
               result);
    if (!isTrue(result)) throw CallFailure{E_FAIL, 0, L"Initialize returned False"};

    BstrSlot name;
    long commandCount = 0, tagCount = 0;
    callByName(object_.get(), L"GetPublishInfo",
               {name.byRef(), longByRef(&commandCount), longByRef(&tagCount)}, result);
    if (!isTrue(result)) throw CallFailure{E_FAIL, 0, L"GetPublishInfo returned False"};
    name_ = name.text();

    for (long i = 1; i <= commandCount; ++i) {
        BstrSlot commandName, value, help(kDefaultHelp);
        callByName(object_.get(), L"GetPublishCommandInfo",
                   {longValue(i), commandName.byRef(), value.byRef(), help.byRef()}, result);
        commands_.push_back({value.text(), commandName.text(), help.text()});
    }
    for (long i = 1; i <= tagCount; ++i) {
        BstrSlot tagName, value;
        callByName(object_.get(), L"GetPublishTagInfo",
                   {longValue(i), tagName.byRef(), value.byRef()}, result);
        tags_.push_back({value.text(), tagName.text()});
    }
}

LoadedPlugin::~LoadedPlugin() {
    try {
        Variant ignored;
        callByName(object_.get(), L"Uninitialize", {}, ignored);
    } catch (...) {
        // Going away anyway.
    }
}

std::optional<std::wstring> LoadedPlugin::parseCommand(const std::wstring& command,
                                                       const std::wstring& arg,
                                                       IDispatch* conversation) {
    Bstr commandText, argText;
    BstrSlot text;
    Variant result;
    callByName(object_.get(), L"ParseCommand",
               {stringValue(command, commandText), stringValue(arg, argText),
                dispatchValue(conversation), text.byRef()},
               result);
    if (!isTrue(result)) return std::nullopt;
    return text.text();
}

std::optional<std::wstring> LoadedPlugin::parseTag(const std::wstring& tag,
                                                   IDispatch* conversation) {
    Bstr tagText;
    BstrSlot text;
    Variant result;
    callByName(object_.get(), L"ParseTag",
               {stringValue(tag, tagText), dispatchValue(conversation), text.byRef()}, result);
    if (!isTrue(result)) return std::nullopt;
    return text.text();
}

}  // namespace plughost
