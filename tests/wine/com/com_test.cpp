// Tavri.dll as COM sees it: the class factory, dispatch by name with typed
// and VARIANT by-reference callers, and errors. The exact identifiers, and
// what registering and unregistering write, are the contract table's
// (tests/wine/contract); the adapters behind the core's ports are
// tests/wine/adapters.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <functional>

#include "wintest.h"

using namespace wintest;
using tavri::win::ComPtr;

namespace {

// The entry points called directly. The counts they answer from are global to
// the process: ctest runs this test in a process of its own (wine_com_factory).
TEST(Factory, UnloadRulesInterfacesAndAggregation) {
    HMODULE dll = LoadLibraryW(besideMe(L"Tavri.dll").c_str());
    ASSERT_TRUE(dll);
    const auto getClassObject =
        reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    const auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"TavriPlugin.plugin", &clsid), S_OK);
    // When the DLL may go: nothing held; a factory; a lock left; unlocked; an
    // object of a thread that has ended; that object gone too.
    std::string unload;
    const auto note = [&] { unload += canUnloadNow() == S_OK ? "yes " : "no "; };
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> kept;
    note();
    getClassObject(clsid, IID_IClassFactory, factory.putVoid());
    note();
    factory->LockServer(TRUE);
    factory.reset();
    note();
    getClassObject(clsid, IID_IClassFactory, factory.putVoid());
    factory->LockServer(FALSE);
    factory.reset();
    note();
    getClassObject(clsid, IID_IClassFactory, factory.putVoid());
    Background maker([&] {
        ComPtr<IUnknown> other;
        factory->CreateInstance(nullptr, IID_IUnknown, kept.putVoid());
        factory->CreateInstance(nullptr, IID_IUnknown, other.putVoid());
    });
    ASSERT_TRUE(maker.join(20000) && kept);
    factory.reset();
    note();
    kept.reset();
    note();
    EXPECT_EQ(unload, "yes no no yes no yes ");

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(getClassObject(clsid, IID_IDispatch, &none), E_NOINTERFACE);
    ASSERT_EQ(getClassObject(clsid, IID_IClassFactory, factory.putVoid()), S_OK);
    {
        ComPtr<IUnknown> first, second, identity;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, first.putVoid()), S_OK);
        none = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(first.get(), IID_IUnknown, &none), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(none, nullptr);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, second.putVoid()), S_OK);
        EXPECT_NE(first.get(), second.get());
        ComPtr<ISupportErrorInfo> errors;
        ASSERT_EQ(second->QueryInterface(IID_ISupportErrorInfo, errors.putVoid()), S_OK);
        ASSERT_EQ(errors->QueryInterface(IID_IUnknown, identity.putVoid()), S_OK);
        EXPECT_EQ(identity.get(), second.get());
        EXPECT_EQ(second->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    }
    factory.reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE)
        << "the thread's hidden settings form keeps the server loaded";
}

// Calls method([first,] out...) with by-reference arguments that start as in
// ("#n" a number, else text), typed (BSTR*, long*) or as VARIANTs, and
// returns what they hold afterwards, joined by '|'.
std::wstring outputs(IDispatch* object, const wchar_t* method, long first,
                     const std::vector<std::wstring>& in, bool typed, CallResult* r,
                     bool byName = false) {
    std::deque<Bstr> strings;
    std::deque<long> numbers;
    std::deque<tavri::win::UniqueVariant> variants;
    std::vector<std::function<std::wstring()>> read;
    std::vector<VARIANT> args;
    if (first >= 0) args.push_back(arg(first));
    for (const auto& text : in) {
        const bool number = text[0] == L'#';
        if (typed && number) {
            long& n = numbers.emplace_back(std::stol(text.substr(1)));
            args.push_back(ref(&n));
            read.push_back([&n] { return std::to_wstring(n); });
        } else if (typed) {
            Bstr& b = strings.emplace_back(text);
            args.push_back(ref(b.slot()));
            // An output the method leaves alone keeps its very BSTR: "!" when it was replaced.
            read.push_back([&b, text, was = *b.slot()] {
                return b.text() + (b.text() == text && *b.slot() != was ? L"!" : L"");
            });
        } else {
            VARIANT* v = variants.emplace_back().get();
            *v = arg(text.substr(number));  // text, as a script's variable holds it
            args.push_back(ref(v));
            read.push_back([v] {
                tavri::win::UniqueVariant t;
                const bool ok = SUCCEEDED(VariantChangeType(t.get(), v, 0, VT_BSTR));
                return ok ? std::wstring(V_BSTR(t.get())) : L"?";
            });
        }
    }
    *r = call(object, method, args, byName);
    std::wstring joined;
    for (const auto& r : read)
        joined += (joined.empty() ? L"" : L"|") + r();
    return joined;
}

TEST(Dispatch, ByReferenceArgumentsAreFilledTheSameForTypedAndVariantCallers) {
    ComPtr<IDispatch> object = createPlugin();
    const struct {
        const wchar_t* method;
        long first;  // a leading index, -1 for none
        std::vector<std::wstring> in;
        const wchar_t* out;
    } cases[] = {
        {L"GetPublishInfo", -1, {L"old", L"#7", L"#9"}, L"Tavri|2|1"},
        {L"getpublishcommandinfo", 1, {L"n", L"v", L"help"}, L"Settings|xtavrisett|help"},
        {L"GETPUBLISHTAGINFO", 1, {L"n", L"v"}, L"Show Stats|(!XTAVRI)"},
    };
    for (const auto& c : cases)
        for (const bool typed : {false, true}) {
            CallResult r;
            EXPECT_EQ(outputs(object.get(), c.method, c.first, c.in, typed, &r), c.out)
                << narrow(c.method) << " " << c.first << (typed ? " typed" : " with VARIANTs");
            EXPECT_EQ(r.hr, S_OK);
        }
    // A variant converted to the parameter's type gets the result; one that
    // cannot be is refused by position, and one converted before it is left as it was.
    CallResult r;
    EXPECT_EQ(outputs(object.get(), L"GetPublishInfo", -1, {L"n", L" 7 ", L"#9"}, false, &r),
              L"Tavri|2|1");
    EXPECT_EQ(outputs(object.get(), L"GetPublishInfo", -1, {L"n", L" 5 ", L"many"}, false, &r),
              L"n| 5 |many");
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argError, 0u) << "the index into the arguments, the last one first";
    EXPECT_EQ(outputs(object.get(), L"GetPublishInfo", -1, {L"n", L"#7", L"#9"}, false, &r, true),
              L"Tavri|2|1")
        << "by name";
    EXPECT_EQ(call(object.get(), L"Parse").hr, DISP_E_UNKNOWNNAME);
}

// Each IDispatch entry point refuses its bad arguments, and empties an out
// pointer it cannot fill.
TEST(Dispatch, EntryPointsRefuseBadArguments) {
    ComPtr<IDispatch> object = createPlugin();
    auto* info = reinterpret_cast<ITypeInfo*>(1);
    UINT count = 7;
    DISPID usage = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(L"usage");
    DISPPARAMS none{};
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &usage), S_OK);
    // What each call answered, and what it should.
    const std::pair<HRESULT, HRESULT> calls[] = {
        {object->GetTypeInfoCount(nullptr), E_POINTER},
        {object->GetTypeInfo(0, 0, nullptr), E_POINTER},
        {object->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX},
        {object->GetIDsOfNames(IID_IDispatch, &name, 1, 0, &usage), DISP_E_UNKNOWNINTERFACE},
        {object->Invoke(usage, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
         DISP_E_UNKNOWNINTERFACE},
        {object->Invoke(usage, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
         E_INVALIDARG},
        {object->QueryInterface(IID_IUnknown, nullptr), E_POINTER},
        {object->GetTypeInfoCount(&count), S_OK},
    };
    for (size_t i = 0; i < std::size(calls); ++i)
        EXPECT_EQ(hex(calls[i].first), hex(calls[i].second)) << "call " << i;
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(count, 1u);
}

// Through IDispatch the error comes in EXCEPINFO. Through the dual
// interface's vtable it waits in the thread's error object, which a call that
// succeeds afterwards clears, so no caller takes an old error for a new one.
TEST(Dispatch, AnAutomationErrorReachesTheCallerWithNumberSourceAndText) {
    ComPtr<IDispatch> object = createPlugin();
    storeCredentials("nousage", "pw");  // a report without usage
    Bstr result(L"untouched");
    const CallResult r =
        call(object.get(), L"ParseTag", {arg(L"(!XTAVRI)"), arg(nullptr), ref(result.slot())});
    EXPECT_EQ(
        hex(r.hr) + L" " + std::to_wstring(r.errorNumber) + L" " + r.source + L": " +
            r.description + L" " + result.text(),
        hex(DISP_E_EXCEPTION) + L" 5 TavriPlugin: Invalid procedure call or argument untouched");

    const IID dualId = {
        0x18BE9D04, 0x6059, 0x41A1, {0xA0, 0x3E, 0x3F, 0x99, 0x52, 0xC8, 0x50, 0xA8}};
    ComPtr<IUnknown> dual;
    ASSERT_EQ(object->QueryInterface(dualId, dual.putVoid()), S_OK);
    // A vtable caller reads the error object only for an interface said to set one.
    ComPtr<ISupportErrorInfo> errors;
    ASSERT_EQ(object->QueryInterface(IID_ISupportErrorInfo, errors.putVoid()), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(dualId), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    // After IDispatch's seven entries: Initialize, Uninitialize, ... ParseTag.
    void** const vtable = *reinterpret_cast<void***>(dual.get());
    using ParseTag = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, BSTR, IDispatch*, BSTR*, VARIANT_BOOL*);
    using Uninitialize = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, VARIANT*);
    Bstr tag(L"(!XTAVRI)");
    VARIANT_BOOL parsed = 1;
    EXPECT_EQ(reinterpret_cast<ParseTag>(vtable[13])(dual.get(), *tag.slot(), nullptr,
                                                     result.slot(), &parsed),
              MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 5));
    VARIANT none;
    VariantInit(&none);
    EXPECT_EQ(reinterpret_cast<Uninitialize>(vtable[8])(dual.get(), &none), S_OK);
    ComPtr<IErrorInfo> stale;
    EXPECT_EQ(GetErrorInfo(0, stale.put()), S_FALSE) << "the failed call's error object is left";
}

}  // namespace
