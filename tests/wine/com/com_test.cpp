// Tavri.dll as COM sees it: registration, the class factory, dispatch by name
// with typed and VARIANT by-reference callers, and the adapters behind the
// core's ports on the real platform. The exact identifiers are checked by the
// contract table (contract.sh), not here.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "automation_error.h"
#include "com_call.h"
#include "frmsett.h"
#include "handles.h"
#include "process.h"
#include "registry_settings_store.h"
#include "shell_process_starter.h"
#include "../support/text.h"
#include "user.h"
#include "var_number_parser.h"
#include "win32_ansi_codec.h"
#include "win32_message_boxes.h"
#include "window_query.h"

using namespace wintest;
using tavri::win::ComPtr;

namespace {

const wchar_t* const kProgId = L"TavriPlugin.plugin";

std::wstring regsvr32(bool unregister) {
    return L"regsvr32 /s " + std::wstring(unregister ? L"/u " : L"") + L"\"" + besideMe(L"Tavri.dll") + L"\"";
}

// Every key and value under HKEY_CLASSES_ROOT, for before/after comparisons.
void snapshot(const std::wstring& path, std::map<std::wstring, std::wstring>& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    out[path] = L"<key>";
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        BYTE data[4096];
        DWORD nameLength = 16384, type = 0, size = sizeof data;
        const LSTATUS rc = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_SUCCESS) out[path + L"|" + name] = std::to_wstring(type) + L":" + std::wstring(data, data + size);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.push_back(path.empty() ? name : path + L"\\" + name);
    }
    RegCloseKey(key);
    for (const auto& sub : subkeys) snapshot(sub, out);
}

ComPtr<IDispatch> createPlugin() {
    CLSID clsid{};
    ComPtr<IDispatch> object;
    if (SUCCEEDED(CLSIDFromProgID(kProgId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.putVoid());
    return object;
}

TEST(Registration, RegisterMakesTheClassCreatableAndUnregisterRemovesExactlyThat) {
    ASSERT_EQ(runProcess(regsvr32(true)), 0);
    std::map<std::wstring, std::wstring> before, registered, after;
    snapshot(L"", before);
    ASSERT_EQ(runProcess(regsvr32(false)), 0);
    snapshot(L"", registered);
    EXPECT_GE(registered.size(), before.size() + 10);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    ComPtr<IUnknown> byClassId;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, byClassId.putVoid()), S_OK);
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(createPlugin()->GetTypeInfo(0, 0, info.put()), S_OK);
    TLIBATTR* attr = nullptr;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(library.put(), &index), S_OK);
    library->GetLibAttr(&attr);
    EXPECT_EQ(LoadRegTypeLib(attr->guid, 1, 0, 0, library.put()), S_OK);
    byClassId.reset();
    ASSERT_EQ(runProcess(regsvr32(true)), 0);
    snapshot(L"", after);
    for (const auto& [key, value] : after)
        EXPECT_TRUE(before.count(key) && before.at(key) == value) << "left behind: " << narrow(key);
    for (const auto& [key, value] : before) EXPECT_TRUE(after.count(key)) << "removed: " << narrow(key);
    EXPECT_EQ(runProcess(regsvr32(true)), 0) << "unregistering twice";
    EXPECT_EQ(runProcess(regsvr32(false)), 0);
}

// The entry points called directly. The counts they answer from are global to
// the process, so this test runs in a child process of its own.
TEST(Factory, UnloadRulesInterfacesAndAggregation) {
    if (!GetEnvironmentVariableW(L"TAVRI_FACTORY_CHILD", nullptr, 0)) {
        SetEnvironmentVariableW(L"TAVRI_FACTORY_CHILD", L"1");
        Process child(L"\"" + besideMe(L"com_test.exe") + L"\" --gtest_filter=Factory.*");
        SetEnvironmentVariableW(L"TAVRI_FACTORY_CHILD", nullptr);
        EXPECT_EQ(child.wait(60000), 0) << child.output();
        return;
    }
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    HMODULE dll = LoadLibraryW(besideMe(L"Tavri.dll").c_str());
    ASSERT_TRUE(dll);
    const auto getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    const auto canUnloadNow = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    const auto factory = [&] {
        ComPtr<IClassFactory> f;
        EXPECT_EQ(getClassObject(clsid, IID_IClassFactory, f.putVoid()), S_OK);
        return f;
    };
    EXPECT_EQ(canUnloadNow(), S_OK);
    {
        ComPtr<IClassFactory> f = factory();
        EXPECT_EQ(canUnloadNow(), S_FALSE);
        EXPECT_EQ(f->LockServer(TRUE), S_OK);
    }
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "a lock is left";
    factory()->LockServer(FALSE);
    EXPECT_EQ(canUnloadNow(), S_OK);

    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    ComPtr<IDispatch> notAFactory;
    EXPECT_EQ(getClassObject(clsid, IID_IDispatch, notAFactory.putVoid()), E_NOINTERFACE);

    ComPtr<IClassFactory> f = factory();
    ComPtr<IUnknown> first, second, identity;
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IUnknown, first.putVoid()), S_OK);
    void* inner = reinterpret_cast<void*>(1);
    EXPECT_EQ(f->CreateInstance(first.get(), IID_IUnknown, &inner), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(inner, nullptr);
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IUnknown, second.putVoid()), S_OK);
    EXPECT_NE(first.get(), second.get());
    ComPtr<ISupportErrorInfo> errors;
    ASSERT_EQ(second->QueryInterface(IID_ISupportErrorInfo, errors.putVoid()), S_OK);
    ASSERT_EQ(errors->QueryInterface(IID_IUnknown, identity.putVoid()), S_OK);
    EXPECT_EQ(identity.get(), second.get());
    ComPtr<IClassFactory> notOne;
    EXPECT_EQ(second->QueryInterface(IID_IClassFactory, notOne.putVoid()), E_NOINTERFACE);
    first.reset(), second.reset(), identity.reset(), errors.reset(), f.reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the thread's hidden settings form keeps the server loaded";
}

// A by-reference argument as a script variable (VARIANT) or a typed one.
struct Slot {
    VARIANT v{};
    Slot() = default;
    explicit Slot(const wchar_t* text) { V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocString(text); }
    explicit Slot(long n) { V_VT(&v) = VT_I4, V_I4(&v) = n; }
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    ~Slot() { VariantClear(&v); }
    std::wstring str() {
        VARIANT t{};
        if (FAILED(VariantChangeType(&t, &v, 0, VT_BSTR))) return L"?";
        const std::wstring out = text(V_BSTR(&t));
        VariantClear(&t);
        return out;
    }
};

// Calls a method with its by-reference arguments once as VARIANTs and once
// typed (BSTR, long), and returns what each by-reference argument holds after.
std::vector<std::vector<std::wstring>> callBothWays(IDispatch* object, const wchar_t* method, long first,
                                                    std::deque<Slot>& slots, HRESULT* hr) {
    std::vector<std::vector<std::wstring>> seen(2);
    for (int typed = 0; typed < 2; ++typed) {
        std::deque<Slot> copy(slots.size());
        std::deque<Bstr> strings;
        std::vector<long> numbers(slots.size());
        std::vector<Arg> args;
        if (first >= 0) args.push_back(Arg::value(first));
        for (size_t i = 0; i < slots.size(); ++i) {
            VariantCopy(&copy[i].v, &slots[i].v);
            if (!typed) args.push_back(Arg::refVariant(&copy[i].v));
            else if (V_VT(&slots[i].v) == VT_I4) numbers[i] = V_I4(&slots[i].v), args.push_back(Arg::refLong(&numbers[i]));
            else strings.emplace_back(copy[i].str()), args.push_back(Arg::refBstr(strings.back().slot()));
        }
        *hr = call(object, method, args).hr;
        for (size_t i = 0, s = 0; i < slots.size(); ++i)
            seen[typed].push_back(!typed ? copy[i].str() : V_VT(&slots[i].v) == VT_I4 ? std::to_wstring(numbers[i]) : strings[s++].text());
    }
    return seen;
}

TEST(Dispatch, ByReferenceArgumentsAreFilledTheSameForTypedAndVariantCallers) {
    ComPtr<IDispatch> object = createPlugin();
    ASSERT_TRUE(object);
    const struct {
        const wchar_t* method;
        long first;  // a leading by-value index, -1 for none
        std::vector<std::wstring> in, out;
    } cases[] = {
        {L"GetPublishInfo", -1, {L"old", L"#7", L"#9"}, {L"Tavri", L"2", L"1"}},
        {L"getpublishcommandinfo", 1, {L"n", L"v", L"help"}, {L"Settings", L"xtavrisett", L"help"}},
        {L"GetPublishCommandInfo", 2, {L"n", L"v", L"help"}, {L"About", L"xtavriabout", L"help"}},
        {L"GetPublishCommandInfo", 3, {L"n", L"v", L"help"}, {L"n", L"v", L"help"}},
        {L"GETPUBLISHTAGINFO", 1, {L"n", L"v"}, {L"Show Stats", L"(!XTAVRI)"}},
        {L"GetPublishTagInfo", 2, {L"n", L"v"}, {L"n", L"v"}},
    };
    for (const auto& c : cases) {
        std::deque<Slot> slots;
        for (const auto& s : c.in) s[0] == L'#' ? slots.emplace_back(std::stol(s.substr(1))) : slots.emplace_back(s.c_str());
        HRESULT hr = E_FAIL;
        const auto seen = callBothWays(object.get(), c.method, c.first, slots, &hr);
        EXPECT_EQ(hr, S_OK) << narrow(c.method);
        EXPECT_EQ(seen[0], c.out) << narrow(c.method) << " " << c.first << " with VARIANTs";
        EXPECT_EQ(seen[1], c.out) << narrow(c.method) << " " << c.first << " typed";
    }
    // A variant that cannot become the parameter's type is refused by position.
    Slot name(L"n"), many(L"many"), tags(5L);
    const auto r = call(object.get(), L"GetPublishInfo", {Arg::refVariant(&name.v), Arg::refVariant(&many.v), Arg::refVariant(&tags.v)});
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(r.argError, 1u);
    EXPECT_EQ(call(object.get(), L"Initialize", {Arg::value(2L), Arg::value(std::wstring(L"a@b")), Arg::value(nullptr)}).isTrue(), true);
    HRESULT unknown = S_OK;
    EXPECT_EQ(dispidOf(object.get(), L"Parse", &unknown), DISPID_UNKNOWN);
    EXPECT_EQ(unknown, DISP_E_UNKNOWNNAME);
}

TEST(Dispatch, TagAndCommandResultsAndErrorsReachTheCaller) {
    ComPtr<IDispatch> object = createPlugin();
    storeCredentials("nousage", "pw");
    Bstr result(L"untouched");
    auto r = call(object.get(), L"ParseTag", {Arg::value(std::wstring(L"(!XOTHER)")), Arg::value(nullptr), Arg::refBstr(result.slot())});
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_FALSE(r.isTrue());
    EXPECT_EQ(result.text(), L"untouched");
    // The tag against a report without usage.
    r = call(object.get(), L"ParseTag", {Arg::value(std::wstring(L"(!XTAVRI)")), Arg::value(nullptr), Arg::refBstr(result.slot())});
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.errorNumber(), 5);
    EXPECT_NE(r.source(), L"");
    EXPECT_NE(r.description(), L"");

    MessageBoxView about;
    Bstr commandResult(L"x");
    withUser([&] {
        r = call(object.get(), L"ParseCommand", {Arg::value(std::wstring(L"/XTAVRIABOUT")), Arg::value(std::wstring()),
                                                  Arg::value(nullptr), Arg::refBstr(commandResult.slot())});
    }, [&] { about = dismissMessageBox(ownProcess(L"#32770")); });
    EXPECT_TRUE(r.isTrue());
    EXPECT_EQ(commandResult.text(), L"");
    EXPECT_NE(about.text, L"") << "no about box";
}

TEST(Dispatch, EachApartmentThreadHasItsOwnFormLoadedWithTheStoredSettings) {
    storeCredentials("first user", "first pw");
    std::wstring fields;
    Background other([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            ComPtr<IDispatch> object = createPlugin();
            const auto forms = findWindows({GetCurrentProcessId(), GetCurrentThreadId(), tavri::win::kFrmsettClassName, nullptr, false});
            if (forms.size() == 1)
                fields = windowText(childById(forms[0], tavri::win::frmsett_id::kText1)) + L"/" +
                         windowText(childById(forms[0], tavri::win::frmsett_id::kText2));
            Slot name, commands, tags;
            if (!call(object.get(), L"GetPublishInfo", {Arg::refVariant(&name.v), Arg::refVariant(&commands.v), Arg::refVariant(&tags.v)}).ok())
                fields += L" (the object does not answer)";
        }
        CoUninitialize();
    });
    ASSERT_TRUE(other.join(20000));
    EXPECT_EQ(fields, L"first user/first pw");
}

int errorNumberOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const tavri::AutomationError& e) {
        return e.number();
    }
    return 0;
}

TEST(Adapters, SettingsStoreKeepsAnyTextAndFailsClearly) {
    const std::wstring keyPath = L"Software\\VB and VBA Program Settings\\Tavri Adapter Test";
    tavri::win::RegistrySettingsStore store(L"Tavri Adapter Test");
    const std::string typed = " a&b = c  d\xC3\xA9 ", big(100000, 'x');
    EXPECT_EQ(store.read("username"), "");
    store.write("username", typed);
    store.write("password", "");
    EXPECT_EQ(store.read("username"), typed);
    EXPECT_EQ(readString(HKEY_CURRENT_USER, keyPath + L"\\Data", L"username"), L" a&b = c  d\u00e9 ");
    store.write("username", big);
    EXPECT_EQ(store.read("username"), big);
    const DWORD number = 7;
    RegSetKeyValueW(HKEY_CURRENT_USER, (keyPath + L"\\Data").c_str(), L"password", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(store.read("password"), "");
    RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
    tavri::win::RegistrySettingsStore broken(std::wstring(300, L'x'));
    try {
        broken.write("username", "someone");
        ADD_FAILURE() << "the write was reported as done";
    } catch (const tavri::AutomationError& e) {
        EXPECT_EQ(e.number(), 5);
        EXPECT_NE(e.description().find("\"username\" could not be saved"), std::string::npos) << e.description();
    }
}

TEST(Adapters, NumbersTextProcessesAndMessageBoxes) {
    tavri::win::VarNumberParser numbers;
    const std::pair<std::string, long> parsed[] = {{"1234", 1234}, {"  1234 ", 1234}, {"0007", 7}, {"-500", -500}, {"2147483647", 2147483647}};
    for (const auto& [in, out] : parsed) EXPECT_EQ(numbers.parseInt32(in), out) << in;
    const std::pair<std::string, int> failing[] = {{"", 13}, {"12a", 13}, {"B 1234", 13}, {std::string("12\0" "34", 5), 13},
                                                   {"2147483648", 6}, {"99999999999999", 6}};
    for (const auto& [in, error] : failing) EXPECT_EQ(errorNumberOf([&] { numbers.parseInt32(in); }), error) << in;

    tavri::win::Win32AnsiCodec ansi;
    EXPECT_EQ(ansi.toAnsi("user&pw=1 2 \xC3\xA9"), GetACP() == 1252 ? "user&pw=1 2 \xE9" : ansi.toAnsi("user&pw=1 2 \xC3\xA9"));

    tavri::win::ShellProcessStarter starter;
    const DWORD before = GetTickCount();
    EXPECT_NO_THROW(starter.start("cmd /c ping -n 3 127.0.0.1 >nul", SW_SHOWMINIMIZED));
    EXPECT_LT(GetTickCount() - before, 1500u) << "start() must not wait for the program";
    EXPECT_EQ(errorNumberOf([&] { starter.start("no-such-program-here.exe", 2); }), 53);

    tavri::win::Win32MessageBoxes boxes;
    for (const auto& [icon, expected] : {std::pair{tavri::MessageIcon::Information, MB_ICONINFORMATION},
                                         {tavri::MessageIcon::Warning, MB_ICONWARNING},
                                         {tavri::MessageIcon::Critical, MB_ICONERROR}}) {
        MessageBoxView seen;
        withUser([&] { boxes.show("first line\r\nsecond \xC3\xA9", "Adapter caption", icon); },
                 [&] { seen = dismissMessageBox(ownProcess(L"#32770", L"Adapter caption")); });
        EXPECT_EQ(seen.text, L"first line\r\nsecond \u00e9");
        EXPECT_EQ(seen.icon, expected);
        EXPECT_EQ(seen.buttons, std::vector<std::wstring>{L"OK"});
    }
}

}  // namespace
