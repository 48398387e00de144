// The plug-in object called by name through IDispatch, as the host and as
// scripting clients call it: typed by-reference arguments and by-reference
// variants.
#include <gtest/gtest.h>

#include <string>

#include "com_call.h"
#include "frmsett.h"
#include "com_test_support.h"
#include "win_ui.h"

namespace {

using tavri::win::ComPtr;
using wintest::Arg;
using wintest::Bstr;
using wintest::call;

struct OwnedVariant {
    OwnedVariant() { VariantInit(&v); }
    explicit OwnedVariant(const std::wstring& text) : OwnedVariant() {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = wintest::bstr(text);
    }
    explicit OwnedVariant(long n) : OwnedVariant() {
        V_VT(&v) = VT_I4;
        V_I4(&v) = n;
    }
    ~OwnedVariant() { VariantClear(&v); }
    std::wstring text() const { return V_VT(&v) == VT_BSTR ? wintest::text(V_BSTR(&v)) : L"<not text>"; }
    VARIANT v;
};

std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

class Dispatch : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, comtest::regsvr32()); }
    void SetUp() override {
        object = comtest::createByProgId();
        ASSERT_TRUE(object) << "TavriPlugin.plugin could not be created";
    }

    ComPtr<IDispatch> object;
};

TEST_F(Dispatch, CreatedByProgIdAndByClassIdEachTimeANewObject) {
    ComPtr<IDispatch> byClsid;
    ASSERT_EQ(S_OK, CoCreateInstance(comtest::guid(comtest::kClsid), nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IDispatch, byClsid.putVoid()));
    EXPECT_NE(object.get(), byClsid.get());
    EXPECT_NE(object.get(), comtest::createByProgId().get());

    UINT count = 0;
    ASSERT_EQ(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()));
    BSTR name = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(L"_plugin", name);
    SysFreeString(name);
}

TEST_F(Dispatch, NamesGiveTheirIdsInAnyLetterCase) {
    const wchar_t* names[] = {L"Initialize", L"Uninitialize", L"GetPublishInfo",
                              L"GetPublishCommandInfo", L"GetPublishTagInfo", L"ParseCommand",
                              L"ParseTag", L"usage", L"plan_limit", L"plan_name"};
    for (DISPID i = 0; i < 10; ++i) {
        std::wstring lower = names[i], upper = names[i];
        for (auto& c : lower) c = towlower(c);
        for (auto& c : upper) c = towupper(c);
        for (const std::wstring& n : {std::wstring(names[i]), lower, upper}) {
            HRESULT hr = E_FAIL;
            EXPECT_EQ(0x60030000 + i, wintest::dispidOf(object.get(), n.c_str(), &hr)) << narrow(n);
            EXPECT_EQ(S_OK, hr);
        }
    }
    HRESULT hr = S_OK;
    EXPECT_EQ(DISPID_UNKNOWN, wintest::dispidOf(object.get(), L"Parse", &hr));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, hr);
}

TEST_F(Dispatch, InitializeIsTrueForAnyArgumentsAndUninitializeIsEmpty) {
    for (long version : {2L, 0L, -1L, 0x7FFFFFFFL}) {
        for (const wchar_t* email : {L"user@example.com", L""}) {
            for (IDispatch* messenger : {static_cast<IDispatch*>(object.get()),
                                         static_cast<IDispatch*>(nullptr)}) {
                auto r = call(object.get(), L"Initialize",
                              {Arg::value(version), Arg::value(email), Arg::value(messenger)});
                EXPECT_EQ(S_OK, r.hr) << narrow(wintest::hex(r.hr));
                EXPECT_TRUE(r.isTrue()) << version;
            }
        }
    }
    // Scripting clients pass their variables by reference.
    OwnedVariant version(5L), email(L"a@b.example"), messenger;
    V_VT(&messenger.v) = VT_DISPATCH;  // Nothing
    V_DISPATCH(&messenger.v) = nullptr;
    auto r = call(object.get(), L"Initialize",
                  {Arg::refVariant(&version.v), Arg::refVariant(&email.v), Arg::refVariant(&messenger.v)});
    EXPECT_EQ(S_OK, r.hr) << narrow(wintest::hex(r.hr));
    EXPECT_TRUE(r.isTrue());

    auto u = call(object.get(), L"Uninitialize");
    EXPECT_EQ(S_OK, u.hr);
    EXPECT_EQ(VT_EMPTY, V_VT(&u.result));
}

TEST_F(Dispatch, GetPublishInfoFillsNameAndCountsTypedOrVariant) {
    Bstr name(L"old");
    long commands = 7, tags = 9;
    auto r = call(object.get(), L"GetPublishInfo",
                  {Arg::refBstr(name.slot()), Arg::refLong(&commands), Arg::refLong(&tags)});
    ASSERT_EQ(S_OK, r.hr) << narrow(wintest::hex(r.hr));
    EXPECT_TRUE(r.isTrue());
    EXPECT_EQ(L"Tavri", name.text());
    EXPECT_EQ(2, commands);
    EXPECT_EQ(1, tags);

    OwnedVariant vName, vCommands, vTags;  // empty, as fresh script variables are
    r = call(object.get(), L"GetPublishInfo",
             {Arg::refVariant(&vName.v), Arg::refVariant(&vCommands.v), Arg::refVariant(&vTags.v)});
    ASSERT_EQ(S_OK, r.hr) << narrow(wintest::hex(r.hr));
    EXPECT_TRUE(r.isTrue());
    EXPECT_EQ(L"Tavri", vName.text());
    ASSERT_EQ(VT_I4, V_VT(&vCommands.v));
    EXPECT_EQ(2, V_I4(&vCommands.v));
    ASSERT_EQ(VT_I4, V_VT(&vTags.v));
    EXPECT_EQ(1, V_I4(&vTags.v));

    // A variant that cannot become the parameter's type is refused.
    OwnedVariant notANumber(L"many");
    r = call(object.get(), L"GetPublishInfo",
             {Arg::refVariant(&vName.v), Arg::refVariant(&notANumber.v), Arg::refVariant(&vTags.v)});
    EXPECT_EQ(DISP_E_TYPEMISMATCH, r.hr);
    EXPECT_EQ(1u, r.argError);
}

TEST_F(Dispatch, CommandPublicationFillsIndicesOneAndTwoAndNeverTouchesHelp) {
    struct Expected { long index; const wchar_t* name; const wchar_t* value; };
    for (const Expected& e : {Expected{1, L"Settings", L"xtavrisett"}, Expected{2, L"About", L"xtavriabout"}}) {
        Bstr name(L"n"), value(L"v"), help(L"the host's help");
        const BSTR helpBefore = help.get();
        auto r = call(object.get(), L"GetPublishCommandInfo",
                      {Arg::value(e.index), Arg::refBstr(name.slot()), Arg::refBstr(value.slot()),
                       Arg::refBstr(help.slot())});
        ASSERT_EQ(S_OK, r.hr) << narrow(wintest::hex(r.hr));
        EXPECT_EQ(VT_EMPTY, V_VT(&r.result));
        EXPECT_EQ(e.name, name.text());
        EXPECT_EQ(e.value, value.text());
        EXPECT_EQ(helpBefore, help.get()) << "sHelp is neither freed nor replaced";
        EXPECT_EQ(L"the host's help", help.text());
    }
    for (long index : {0L, 3L, -1L}) {
        Bstr name(L"n"), value(L"v"), help(L"h");
        const BSTR before[] = {name.get(), value.get(), help.get()};
        auto r = call(object.get(), L"GetPublishCommandInfo",
                      {Arg::value(index), Arg::refBstr(name.slot()), Arg::refBstr(value.slot()),
                       Arg::refBstr(help.slot())});
        ASSERT_EQ(S_OK, r.hr);
        EXPECT_EQ(before[0], name.get()) << index;
        EXPECT_EQ(before[1], value.get()) << index;
        EXPECT_EQ(before[2], help.get()) << index;
        EXPECT_EQ(L"n", name.text());
    }
    // By-reference variants, as from a script.
    OwnedVariant name, value, help(L"h");
    auto r = call(object.get(), L"GetPublishCommandInfo",
                  {Arg::value(2L), Arg::refVariant(&name.v), Arg::refVariant(&value.v), Arg::refVariant(&help.v)});
    ASSERT_EQ(S_OK, r.hr) << narrow(wintest::hex(r.hr));
    EXPECT_EQ(L"About", name.text());
    EXPECT_EQ(L"xtavriabout", value.text());
    EXPECT_EQ(L"h", help.text());
}

TEST_F(Dispatch, TagPublicationFillsIndexOneOnly) {
    Bstr name, value;  // null strings are the empty string
    auto r = call(object.get(), L"GetPublishTagInfo",
                  {Arg::value(1L), Arg::refBstr(name.slot()), Arg::refBstr(value.slot())});
    ASSERT_EQ(S_OK, r.hr);
    EXPECT_EQ(L"Show Stats", name.text());
    EXPECT_EQ(L"(!XTAVRI)", value.text());
    for (long index : {0L, 2L}) {
        Bstr n(L"n"), v(L"v");
        const BSTR before = n.get();
        r = call(object.get(), L"GetPublishTagInfo", {Arg::value(index), Arg::refBstr(n.slot()), Arg::refBstr(v.slot())});
        ASSERT_EQ(S_OK, r.hr);
        EXPECT_EQ(before, n.get());
        EXPECT_EQ(L"v", v.text());
    }
    OwnedVariant vName, vValue;
    r = call(object.get(), L"GetPublishTagInfo",
             {Arg::value(1L), Arg::refVariant(&vName.v), Arg::refVariant(&vValue.v)});
    ASSERT_EQ(S_OK, r.hr);
    EXPECT_EQ(L"(!XTAVRI)", vValue.text());
}

TEST_F(Dispatch, UnrecognisedCommandsAreFalseAndLeaveTheResultAlone) {
    for (const wchar_t* command : {L"xtavriabout", L"xtavrisett", L"/xtavriabout ", L"/xtavrisett ",
                                   L" /xtavriabout", L"/xtavri", L"/about", L""}) {
        Bstr result(L"keep");
        const BSTR before = result.get();
        auto r = call(object.get(), L"ParseCommand",
                      {Arg::value(command), Arg::value(L""), Arg::value(static_cast<IDispatch*>(nullptr)),
                       Arg::refBstr(result.slot())});
        ASSERT_EQ(S_OK, r.hr) << narrow(command);
        EXPECT_EQ(VT_BOOL, V_VT(&r.result));
        EXPECT_FALSE(r.isTrue()) << narrow(command);
        EXPECT_EQ(before, result.get()) << narrow(command);
        EXPECT_EQ(L"keep", result.text());
    }
    OwnedVariant result(L"keep");
    auto r = call(object.get(), L"ParseCommand",
                  {Arg::value(L"/nothing"), Arg::value(L"arg"), Arg::value(static_cast<IDispatch*>(nullptr)),
                   Arg::refVariant(&result.v)});
    ASSERT_EQ(S_OK, r.hr);
    EXPECT_FALSE(r.isTrue());
    EXPECT_EQ(L"keep", result.text());
}

// The about box as the user sees it, read and dismissed from another thread
// while ParseCommand waits for it.
wintest::MessageBoxView aboutBoxDuring(const std::function<void()>& call) {
    wintest::MessageBoxView seen;
    wintest::Background dismisser([&] { seen = wintest::dismissMessageBox(L"Tavri Plugin"); });
    call();
    EXPECT_TRUE(dismisser.join());
    return seen;
}

TEST_F(Dispatch, AboutCommandInAnyCaseShowsTheCreditsAndEmptiesTheResult) {
    for (const wchar_t* command : {L"/xtavriabout", L"/XTAVRIABOUT", L"/xTavriAbout"}) {
        Bstr result(L"something the host had");
        wintest::CallResult r;
        const auto box = aboutBoxDuring([&] {
            r = call(object.get(), L"ParseCommand",
                     {Arg::value(command), Arg::value(L"ignored"),
                      Arg::value(static_cast<IDispatch*>(object.get())), Arg::refBstr(result.slot())});
        });
        ASSERT_EQ(S_OK, r.hr) << narrow(command) << " " << narrow(wintest::hex(r.hr));
        EXPECT_TRUE(r.isTrue());
        EXPECT_EQ(L"", result.text());
        ASSERT_TRUE(box.hwnd) << "no about box for " << narrow(command);
        EXPECT_EQ(L"Tavri Plugin", box.caption);
        EXPECT_EQ(MB_ICONINFORMATION, box.icon);
        ASSERT_EQ(1u, box.buttons.size());
        EXPECT_EQ(L"OK", box.buttons[0]);
        const size_t lineBreak = box.text.find(L"\r\n");
        ASSERT_NE(std::wstring::npos, lineBreak) << narrow(box.text);
        EXPECT_GT(lineBreak, 0u);
        EXPECT_LT(lineBreak + 2, box.text.size());
        EXPECT_EQ(std::wstring::npos, box.text.find(L"\r\n", lineBreak + 2)) << "two lines";
    }
    // Through a by-reference variant.
    OwnedVariant result(L"x");
    wintest::CallResult r;
    aboutBoxDuring([&] {
        r = call(object.get(), L"ParseCommand",
                 {Arg::value(L"/XtavriAbout"), Arg::value(L""), Arg::value(static_cast<IDispatch*>(nullptr)),
                  Arg::refVariant(&result.v)});
    });
    ASSERT_EQ(S_OK, r.hr);
    EXPECT_TRUE(r.isTrue());
    EXPECT_EQ(L"", result.text());
}

TEST_F(Dispatch, ForeignTagIsFalseAndLeavesTheResultAlone) {
    for (const wchar_t* tag : {L"(!XTAVRI) ", L"XTAVRI", L"(!XOTHER)", L""}) {
        Bstr result(L"keep");
        const BSTR before = result.get();
        auto r = call(object.get(), L"ParseTag",
                      {Arg::value(tag), Arg::value(static_cast<IDispatch*>(nullptr)), Arg::refBstr(result.slot())});
        ASSERT_EQ(S_OK, r.hr) << narrow(tag);
        EXPECT_FALSE(r.isTrue());
        EXPECT_EQ(before, result.get());
    }
}

// A settings command nested inside an open settings window (the window's
// modal loop dispatches a timer of this thread) is refused by the core; the
// error reaches dispatch callers in EXCEPINFO and vtable callers through
// IErrorInfo.
struct NestedCall {
    IDispatch* object = nullptr;
    wintest::CallResult viaDispatch;
    HRESULT viaVtable = S_OK;
    std::wstring vtableSource, vtableDescription;
    bool ran = false;
};
NestedCall* g_nested = nullptr;

HWND visibleSettingsForm() {
    struct Found { HWND form = nullptr; } found;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) -> BOOL CALLBACK {
        if (!IsWindowVisible(w) || wintest::className(w) != tavri::win::kFrmsettClassName) return TRUE;
        reinterpret_cast<Found*>(p)->form = w;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found.form;
}

void CALLBACK callWhileFormIsOpen(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND form = visibleSettingsForm();
    if (!form) return;  // not open yet: try again on the next tick
    KillTimer(nullptr, timer);
    NestedCall& n = *g_nested;
    n.ran = true;
    Bstr result(L"keep");
    n.viaDispatch = call(n.object, L"ParseCommand",
                         {Arg::value(L"/xtavrisett"), Arg::value(L""),
                          Arg::value(static_cast<IDispatch*>(nullptr)), Arg::refBstr(result.slot())});

    ComPtr<IDispatch> plugin;
    n.object->QueryInterface(comtest::guid(comtest::kIid), plugin.putVoid());
    using ParseCommandFn = HRESULT(STDMETHODCALLTYPE*)(IDispatch*, BSTR, BSTR, IDispatch*, BSTR*, VARIANT_BOOL*);
    auto parseCommand = reinterpret_cast<ParseCommandFn>((*reinterpret_cast<void***>(plugin.get()))[7 + 5]);
    Bstr command(L"/XTAVRISETT"), arg(L"");
    VARIANT_BOOL handled = VARIANT_FALSE;
    n.viaVtable = parseCommand(plugin.get(), command.get(), arg.get(), nullptr, result.slot(), &handled);
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK) {
        BSTR source = nullptr, description = nullptr;
        info->GetSource(&source);
        info->GetDescription(&description);
        n.vtableSource = wintest::text(source);
        n.vtableDescription = wintest::text(description);
        SysFreeString(source);
        SysFreeString(description);
    }
    PostMessageW(form, WM_CLOSE, 0, 0);  // the close box: stores nothing
}

TEST_F(Dispatch, AutomationErrorsReachCallersWithNumberSourceAndText) {
    NestedCall nested;
    nested.object = object.get();
    g_nested = &nested;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, callWhileFormIsOpen);
    // Should the window never close, end it from outside instead of hanging.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const DWORD thread = GetCurrentThreadId();
    wintest::Background watchdog([&] {
        if (WaitForSingleObject(done, 30000) == WAIT_OBJECT_0) return;
        EnumThreadWindows(thread, [](HWND w, LPARAM) -> BOOL CALLBACK {
            PostMessageW(w, WM_CLOSE, 0, 0);
            return TRUE;
        }, 0);
    });

    Bstr result(L"keep");
    auto outer = call(object.get(), L"ParseCommand",
                      {Arg::value(L"/xtavrisett"), Arg::value(L""),
                       Arg::value(static_cast<IDispatch*>(nullptr)), Arg::refBstr(result.slot())});
    SetEvent(done);
    ASSERT_TRUE(watchdog.join());
    CloseHandle(done);
    KillTimer(nullptr, timer);
    g_nested = nullptr;

    EXPECT_EQ(S_OK, outer.hr) << narrow(wintest::hex(outer.hr));
    EXPECT_TRUE(outer.isTrue());
    EXPECT_EQ(L"", result.text());

    ASSERT_TRUE(nested.ran) << "the settings window never opened";
    EXPECT_EQ(DISP_E_EXCEPTION, nested.viaDispatch.hr) << narrow(wintest::hex(nested.viaDispatch.hr));
    EXPECT_EQ(400, nested.viaDispatch.errorNumber());
    EXPECT_EQ(L"TavriPlugin", nested.viaDispatch.source());
    EXPECT_EQ(L"Form already displayed; can't show modally", nested.viaDispatch.description());

    EXPECT_EQ(static_cast<HRESULT>(0x800A0190), nested.viaVtable) << narrow(wintest::hex(nested.viaVtable));
    EXPECT_EQ(L"TavriPlugin", nested.vtableSource);
    EXPECT_EQ(L"Form already displayed; can't show modally", nested.vtableDescription);
}

TEST_F(Dispatch, ObjectsOnASecondApartmentThreadWorkOnTheirOwn) {
    HRESULT created = E_FAIL, called = E_FAIL;
    std::wstring name;
    wintest::Background other([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            ComPtr<IDispatch> there = comtest::createByProgId();
            created = there ? S_OK : E_FAIL;
            if (there) {
                Bstr n;
                long c = 0, t = 0;
                called = call(there.get(), L"GetPublishInfo",
                              {Arg::refBstr(n.slot()), Arg::refLong(&c), Arg::refLong(&t)}).hr;
                name = n.text();
            }
        }
        CoUninitialize();
    });
    ASSERT_TRUE(other.join());
    EXPECT_EQ(S_OK, created);
    EXPECT_EQ(S_OK, called);
    EXPECT_EQ(L"Tavri", name);
}

// The stored settings are in the thread's hidden settings form as soon as the
// first object of the thread is handed out, before any call reaches it.
TEST_F(Dispatch, FirstCreationOnAThreadLoadsTheStoredSettingsIntoTheHiddenForm) {
    const std::wstring data = L"Software\\VB and VBA Program Settings\\Tavri Plugin\\Data";
    bool hadUser = false, hadPassword = false;
    const std::wstring oldUser = wintest::readString(HKEY_CURRENT_USER, data, L"username", &hadUser);
    const std::wstring oldPassword = wintest::readString(HKEY_CURRENT_USER, data, L"password", &hadPassword);
    auto put = [&](const wchar_t* name, const std::wstring& value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, data.c_str(), name, REG_SZ, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    };
    put(L"username", L"stored user");
    put(L"password", L"p&ss word");

    std::wstring account, password;
    bool visible = true;
    wintest::Background thread([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            ComPtr<IDispatch> there = comtest::createByProgId();
            struct Found { HWND form = nullptr; } found;
            EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) -> BOOL CALLBACK {
                if (wintest::className(w) != tavri::win::kFrmsettClassName) return TRUE;
                reinterpret_cast<Found*>(p)->form = w;
                return FALSE;
            }, reinterpret_cast<LPARAM>(&found));
            if (found.form) {
                account = wintest::windowText(GetDlgItem(found.form, tavri::win::frmsett_id::kText1));
                password = wintest::windowText(GetDlgItem(found.form, tavri::win::frmsett_id::kText2));
                visible = IsWindowVisible(found.form);
            }
        }
        CoUninitialize();
    });
    ASSERT_TRUE(thread.join());

    if (hadUser) put(L"username", oldUser); else RegDeleteKeyValueW(HKEY_CURRENT_USER, data.c_str(), L"username");
    if (hadPassword) put(L"password", oldPassword); else RegDeleteKeyValueW(HKEY_CURRENT_USER, data.c_str(), L"password");

    EXPECT_EQ(L"stored user", account);
    EXPECT_EQ(L"p&ss word", password);
    EXPECT_FALSE(visible);
}

}  // namespace
