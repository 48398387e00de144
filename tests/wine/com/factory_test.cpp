// The server's entry points called directly, in a process of their own: the
// class factory's rules and when the DLL may be unloaded.
#include <gtest/gtest.h>

#include "com_call.h"
#include "com_test_support.h"
#include "win_ui.h"

namespace {

using tavri::win::ComPtr;

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using NoArgsFn = HRESULT(STDAPICALLTYPE*)();

class Factory : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dll = LoadLibraryW(comtest::tavriDll().c_str());
        ASSERT_TRUE(dll);
        getClassObject = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<NoArgsFn>(
            reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject && canUnloadNow);
    }

    ComPtr<IClassFactory> factory() {
        ComPtr<IClassFactory> f;
        EXPECT_EQ(S_OK, getClassObject(comtest::guid(comtest::kClsid), IID_IClassFactory, f.putVoid()));
        return f;
    }

    static inline HMODULE dll = nullptr;
    static inline GetClassObjectFn getClassObject = nullptr;
    static inline NoArgsFn canUnloadNow = nullptr;
};

// Runs first: nothing of the server is alive yet.
TEST_F(Factory, A_UnloadableUntilSomethingIsHeldThenNotWhileFactoryOrLockLives) {
    EXPECT_EQ(S_OK, canUnloadNow());
    {
        ComPtr<IClassFactory> f = factory();
        ASSERT_TRUE(f);
        EXPECT_EQ(S_FALSE, canUnloadNow());
        EXPECT_EQ(S_OK, f->LockServer(TRUE));
        EXPECT_EQ(S_OK, f->LockServer(TRUE));
    }
    EXPECT_EQ(S_FALSE, canUnloadNow());  // two locks left
    ComPtr<IClassFactory> f = factory();
    EXPECT_EQ(S_OK, f->LockServer(FALSE));
    EXPECT_EQ(S_OK, f->LockServer(FALSE));
    f.reset();
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(Factory, B_OnlyTheClassPluginAndOnlyFactoryInterfaces) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IDispatch, IID_IClassFactory, &p));
    EXPECT_EQ(nullptr, p);
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, getClassObject(comtest::guid(comtest::kClsid), IID_IUnknown, unknown.putVoid()));
    ComPtr<IDispatch> notAFactory;
    EXPECT_EQ(E_NOINTERFACE,
              getClassObject(comtest::guid(comtest::kClsid), IID_IDispatch, notAFactory.putVoid()));
}

TEST_F(Factory, C_EveryCreationIsANewObjectAndAggregationIsRefused) {
    ComPtr<IClassFactory> f = factory();
    ASSERT_TRUE(f);

    ComPtr<IUnknown> outer;  // any object will do as a would-be outer unknown
    ASSERT_EQ(S_OK, f->CreateInstance(nullptr, IID_IUnknown, outer.putVoid()));
    void* inner = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, f->CreateInstance(outer.get(), IID_IUnknown, &inner));
    EXPECT_EQ(nullptr, inner);

    ComPtr<IUnknown> second;
    ASSERT_EQ(S_OK, f->CreateInstance(nullptr, IID_IUnknown, second.putVoid()));
    EXPECT_NE(outer.get(), second.get());

    // One identity per object, whatever it is asked for.
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, second->QueryInterface(IID_IDispatch, dispatch.putVoid()));
    ComPtr<IUnknown> plugin;
    ASSERT_EQ(S_OK, second->QueryInterface(comtest::guid(comtest::kIid), plugin.putVoid()));
    ComPtr<ISupportErrorInfo> errors;
    ASSERT_EQ(S_OK, second->QueryInterface(IID_ISupportErrorInfo, errors.putVoid()));
    EXPECT_EQ(S_OK, errors->InterfaceSupportsErrorInfo(comtest::guid(comtest::kIid)));
    ComPtr<IUnknown> identity;
    ASSERT_EQ(S_OK, errors->QueryInterface(IID_IUnknown, identity.putVoid()));
    EXPECT_EQ(second.get(), identity.get());
    ComPtr<IClassFactory> notOne;
    EXPECT_EQ(E_NOINTERFACE, second->QueryInterface(IID_IClassFactory, notOne.putVoid()));

    // The object answers once handed out: the thread's start-up has run.
    wintest::Bstr name;
    long commands = 0, tags = 0;
    auto r = wintest::call(dispatch.get(), L"GetPublishInfo",
                           {wintest::Arg::refBstr(name.slot()), wintest::Arg::refLong(&commands),
                            wintest::Arg::refLong(&tags)});
    EXPECT_EQ(S_OK, r.hr);
    EXPECT_EQ(L"Tavri", name.text());
}

TEST_F(Factory, D_TheHiddenSettingsFormKeepsTheServerLoadedAfterTheObjectsAreGone) {
    // The objects of the earlier tests are released; the thread's settings
    // form, created hidden at start-up, lives on with the server.
    EXPECT_EQ(S_FALSE, canUnloadNow());
}

}  // namespace
