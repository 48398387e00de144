// The type library embedded in Tavri.dll, read back the way automation
// clients read it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com_test_support.h"

namespace {

using tavri::win::ComPtr;

struct Param {
    const wchar_t* name;
    VARTYPE type;  // of the value, or of what the pointer points to
    bool inOut;
};

struct Method {
    const wchar_t* name;
    MEMBERID id;
    std::vector<Param> params;
    VARTYPE result;  // VT_BOOL or VT_VARIANT
};

const std::vector<Method> kMethods = {
    {L"Initialize", 0x60030000,
     {{L"nVersion", VT_I4, false}, {L"sUserEmail", VT_BSTR, false}, {L"oMessenger", VT_DISPATCH, false}},
     VT_BOOL},
    {L"Uninitialize", 0x60030001, {}, VT_VARIANT},
    {L"GetPublishInfo", 0x60030002,
     {{L"sPluginName", VT_BSTR, true}, {L"nCommandCount", VT_I4, true}, {L"nTagCount", VT_I4, true}},
     VT_BOOL},
    {L"GetPublishCommandInfo", 0x60030003,
     {{L"nCommandIdx", VT_I4, false}, {L"sName", VT_BSTR, true}, {L"sValue", VT_BSTR, true},
      {L"sHelp", VT_BSTR, true}},
     VT_VARIANT},
    {L"GetPublishTagInfo", 0x60030004,
     {{L"nTagIdx", VT_I4, false}, {L"sName", VT_BSTR, true}, {L"sValue", VT_BSTR, true}},
     VT_VARIANT},
    {L"ParseCommand", 0x60030005,
     {{L"sCommand", VT_BSTR, false}, {L"sCommandArg", VT_BSTR, false},
      {L"oConversationWnd", VT_DISPATCH, false}, {L"sResult", VT_BSTR, true}},
     VT_BOOL},
    {L"ParseTag", 0x60030006,
     {{L"sTag", VT_BSTR, false}, {L"oConversationWnd", VT_DISPATCH, false}, {L"sResult", VT_BSTR, true}},
     VT_BOOL},
    {L"usage", 0x60030007, {}, VT_VARIANT},
    {L"plan_limit", 0x60030008, {}, VT_VARIANT},
    {L"plan_name", 0x60030009, {}, VT_VARIANT},
};

std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

class TypeLibrary : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, LoadTypeLibEx(comtest::tavriDll().c_str(), REGKIND_NONE, library.put()));
    }

    ComPtr<ITypeInfo> info(const wchar_t* guidText) {
        ComPtr<ITypeInfo> i;
        EXPECT_EQ(S_OK, library->GetTypeInfoOfGuid(comtest::guid(guidText), i.put()));
        return i;
    }

    static TYPEATTR attributes(ITypeInfo* i) {
        TYPEATTR* a = nullptr;
        EXPECT_EQ(S_OK, i->GetTypeAttr(&a));
        TYPEATTR copy = *a;
        i->ReleaseTypeAttr(a);
        return copy;
    }

    static std::wstring name(ITypeInfo* i, MEMBERID id = MEMBERID_NIL, std::wstring* doc = nullptr) {
        BSTR n = nullptr, d = nullptr, help = nullptr;
        i->GetDocumentation(id, &n, &d, nullptr, &help);
        std::wstring result = n ? n : L"";
        if (doc) *doc = std::wstring(d ? d : L"") + std::wstring(help ? help : L"");
        SysFreeString(n);
        SysFreeString(d);
        SysFreeString(help);
        return result;
    }

    ComPtr<ITypeLib> library;
};

TEST_F(TypeLibrary, LibraryIsTavriPlugin10NeutralWithTwoTypesAndNoDocumentation) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    EXPECT_EQ(comtest::guid(comtest::kLibid), attr->guid);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0u, attr->lcid);
    EXPECT_EQ(SYS_WIN32, attr->syskind);
    library->ReleaseTLibAttr(attr);

    BSTR n = nullptr, doc = nullptr, help = nullptr;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, &n, &doc, nullptr, &help));
    EXPECT_STREQ(L"TavriPlugin", n);
    EXPECT_TRUE(!doc || !*doc);
    EXPECT_TRUE(!help || !*help);
    SysFreeString(n);
    SysFreeString(doc);
    SysFreeString(help);

    EXPECT_EQ(2u, library->GetTypeInfoCount());
}

TEST_F(TypeLibrary, CoclassPluginIsCreatableWithDefaultInterfacePluginOnly) {
    ComPtr<ITypeInfo> coclass = info(comtest::kClsid);
    ASSERT_TRUE(coclass);
    const TYPEATTR a = attributes(coclass.get());
    EXPECT_EQ(TKIND_COCLASS, a.typekind);
    EXPECT_EQ(L"plugin", name(coclass.get()));
    EXPECT_EQ(1, a.wMajorVerNum);
    EXPECT_EQ(0, a.wMinorVerNum);
    EXPECT_TRUE(a.wTypeFlags & TYPEFLAG_FCANCREATE);
    ASSERT_EQ(1, a.cImplTypes);  // no event source
    INT flags = 0;
    ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(0, &ref));
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(ref, implemented.put()));
    EXPECT_EQ(L"_plugin", name(implemented.get()));
}

TEST_F(TypeLibrary, InterfacePluginIsHiddenDualNonextensibleAutomationFromStdoleIDispatch) {
    ComPtr<ITypeInfo> dispatch = info(comtest::kIid);
    ASSERT_TRUE(dispatch);
    const TYPEATTR a = attributes(dispatch.get());
    EXPECT_EQ(L"_plugin", name(dispatch.get()));
    EXPECT_EQ(1, a.wMajorVerNum);
    EXPECT_EQ(0, a.wMinorVerNum);
    // The dispatch view: what automation clients see.
    const WORD dispatchFlags =
        TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(dispatchFlags, a.wTypeFlags & dispatchFlags) << std::hex << a.wTypeFlags;
    EXPECT_FALSE(a.wTypeFlags & TYPEFLAG_FCANCREATE);

    // The vtable side derives from IDispatch out of stdole2.tlb 2.0.
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &ref));
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, vtable.put()));
    const TYPEATTR v = attributes(vtable.get());
    EXPECT_EQ(TKIND_INTERFACE, v.typekind);
    const WORD vtableFlags =
        TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
    EXPECT_EQ(vtableFlags, v.wTypeFlags & vtableFlags) << std::hex << v.wTypeFlags;
    ASSERT_EQ(S_OK, vtable->GetRefTypeOfImplType(0, &ref));
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(S_OK, vtable->GetRefTypeInfo(ref, base.put()));
    EXPECT_EQ(L"IDispatch", name(base.get()));
    ComPtr<ITypeLib> stdole;
    UINT index = 0;
    ASSERT_EQ(S_OK, base->GetContainingTypeLib(stdole.put(), &index));
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(S_OK, stdole->GetLibAttr(&libAttr));
    EXPECT_EQ(comtest::guid(L"{00020430-0000-0000-C000-000000000046}"), libAttr->guid);
    EXPECT_EQ(2, libAttr->wMajorVerNum);
    stdole->ReleaseTLibAttr(libAttr);
}

TEST_F(TypeLibrary, MethodsInSlotOrderWithTheirIdsParametersAndResults) {
    ComPtr<ITypeInfo> dispatch = info(comtest::kIid);
    ASSERT_TRUE(dispatch);
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &ref));
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, vtable.put()));
    ASSERT_EQ(kMethods.size(), attributes(vtable.get()).cFuncs);

    for (UINT i = 0; i < kMethods.size(); ++i) {
        const Method& m = kMethods[i];
        SCOPED_TRACE(narrow(m.name));
        FUNCDESC* f = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(i, &f));
        EXPECT_EQ(m.id, f->memid);
        EXPECT_EQ(INVOKE_FUNC, f->invkind);
        EXPECT_EQ(CC_STDCALL, f->callconv);
        EXPECT_EQ(static_cast<SHORT>((7 + i) * sizeof(void*)), f->oVft);  // after IDispatch's 7
        EXPECT_EQ(VT_HRESULT, f->elemdescFunc.tdesc.vt);
        EXPECT_EQ(0, f->cParamsOpt);
        std::wstring doc;
        EXPECT_EQ(m.name, name(vtable.get(), f->memid, &doc));
        EXPECT_EQ(L"", doc);

        ASSERT_EQ(static_cast<SHORT>(m.params.size() + 1), f->cParams);
        BSTR names[8] = {};
        UINT count = 0;
        ASSERT_EQ(S_OK, vtable->GetNames(f->memid, names, 8, &count));
        ASSERT_GE(count, m.params.size() + 1);
        for (size_t p = 0; p < m.params.size(); ++p) {
            const ELEMDESC& e = f->lprgelemdescParam[p];
            EXPECT_STREQ(m.params[p].name, names[p + 1]);
            const USHORT flags = e.paramdesc.wParamFlags;
            if (m.params[p].inOut) {
                ASSERT_EQ(VT_PTR, e.tdesc.vt) << p;
                EXPECT_EQ(m.params[p].type, e.tdesc.lptdesc->vt) << p;
                EXPECT_EQ(PARAMFLAG_FIN | PARAMFLAG_FOUT, flags & (PARAMFLAG_FIN | PARAMFLAG_FOUT));
            } else {
                EXPECT_EQ(m.params[p].type, e.tdesc.vt) << p;
                EXPECT_EQ(PARAMFLAG_FIN, flags & (PARAMFLAG_FIN | PARAMFLAG_FOUT));
            }
            EXPECT_FALSE(flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT | PARAMFLAG_FRETVAL));
        }
        const ELEMDESC& last = f->lprgelemdescParam[m.params.size()];
        EXPECT_EQ(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, last.paramdesc.wParamFlags);
        ASSERT_EQ(VT_PTR, last.tdesc.vt);
        EXPECT_EQ(m.result, last.tdesc.lptdesc->vt);
        for (BSTR& n : names) SysFreeString(n);
        vtable->ReleaseFuncDesc(f);
    }
}

TEST_F(TypeLibrary, IsTheResourceTypelibOne) {
    HMODULE dll = LoadLibraryExW(comtest::tavriDll().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(dll);
    EXPECT_TRUE(FindResourceW(dll, MAKEINTRESOURCEW(1), L"TYPELIB"));
    FreeLibrary(dll);
}

}  // namespace
