// Prints what the outside world sees of the built binaries, in one canonical
// text that contract.sh compares with contract.golden: Tavri.dll's registry
// entries, type library and version block, Install.exe's version
// block, and the layout of the settings window and of the installer window.
#include <windows.h>
#include <imm.h>

#include <cstdio>

#include "wintest.h"

using namespace wintest;
using tavri::win::ComPtr;

namespace {

void line(const std::wstring& text) { std::printf("%s\n", narrow(text).c_str()); }
std::wstring number(long n) { return std::to_wstring(n); }
std::wstring guid(const GUID& g) {
    wchar_t text[40];
    StringFromGUID2(g, text, 40);
    return text;
}

// What registering adds under HKEY_CLASSES_ROOT, with the build's folder left out.
void registration(const std::wstring& dll) {
    std::map<std::wstring, std::wstring> before, after;
    runProcess(L"regsvr32 /s /u \"" + dll + L"\"");
    registryTree(HKEY_CLASSES_ROOT, L"", before);
    runProcess(L"regsvr32 /s \"" + dll + L"\"");
    registryTree(HKEY_CLASSES_ROOT, L"", after);
    std::map<std::wstring, std::wstring> keys;  // each key with its values, one line a key
    for (auto [key, value] : after) {
        const auto bar = key.find(L" | ");
        if (before.count(key) || bar == std::wstring::npos) continue;
        for (const auto& [path, name] : {std::pair{dll, L"<Tavri.dll>"}, {dll.substr(0, dll.rfind(L'\\')), L"<bin>"}})
            if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, value.c_str(), -1, path.c_str(), -1) == CSTR_EQUAL) value = name;
        keys[key.substr(0, bar)] += L" " + key.substr(bar + 3) + L"=" + value;
    }
    for (const auto& [key, values] : keys) line(L"registry " + key + values);
}

// The library, its types and the methods each declares itself (not the
// ones inherited from IDispatch).
void typeLibrary(const std::wstring& dll) {
    ComPtr<ITypeLib> lib;
    if (FAILED(LoadTypeLibEx(dll.c_str(), REGKIND_NONE, lib.put()))) return line(L"no type library");
    TLIBATTR* la = nullptr;
    BSTR name = nullptr, doc = nullptr;
    lib->GetLibAttr(&la);
    lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    line(L"typelib " + std::wstring(name) + L" " + guid(la->guid) + L" " + number(la->wMajorVerNum) + L"." +
         number(la->wMinorVerNum) + L" lcid " + number(la->lcid) + L" flags " + hex(la->wLibFlags) + L" doc \"" + (doc ? doc : L"") + L"\"");
    SysFreeString(name), SysFreeString(doc), lib->ReleaseTLibAttr(la);
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ComPtr<ITypeInfo> info;
        TYPEATTR* ta = nullptr;
        lib->GetTypeInfo(i, info.put());
        info->GetTypeAttr(&ta);
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        std::wstring text = L"type " + std::wstring(name) + L" kind " + number(ta->typekind) + L" " + guid(ta->guid) + L" flags " +
                            hex(ta->wTypeFlags);
        SysFreeString(name);
        for (UINT k = 0; k < ta->cImplTypes; ++k) {
            HREFTYPE ref = 0;
            INT flags = 0;
            ComPtr<ITypeInfo> base;
            info->GetRefTypeOfImplType(k, &ref), info->GetImplTypeFlags(k, &flags), info->GetRefTypeInfo(ref, base.put());
            base->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            text += L" implements " + std::wstring(name) + L" flags " + hex(flags);
            SysFreeString(name);
        }
        line(text);
        for (UINT f = 0; f < ta->cFuncs; ++f) {
            FUNCDESC* fd = nullptr;
            BSTR names[16] = {};
            UINT count = 0;
            info->GetFuncDesc(f, &fd);
            info->GetNames(fd->memid, names, 16, &count);
            std::wstring text = L"  method " + hex(fd->memid) + L" " + names[0] + L" invoke " + number(fd->invkind) + L" flags " +
                                hex(fd->wFuncFlags) + L" returns " + number(fd->elemdescFunc.tdesc.vt) + L" (";
            for (SHORT p = 0; p < fd->cParams; ++p) {
                const ELEMDESC& e = fd->lprgelemdescParam[p];
                text += (p ? L", " : L"") + std::wstring(p + 1u < count ? names[p + 1] : L"?") + L" vt " +
                        hex(e.tdesc.vt == VT_PTR ? e.tdesc.lptdesc->vt | VT_BYREF : e.tdesc.vt) + L" flags " + number(e.paramdesc.wParamFlags);
            }
            if (fd->memid >= 0x60020000) line(text + L")");
            for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
            info->ReleaseFuncDesc(fd);
        }
        info->ReleaseTypeAttr(ta);
    }
}

// The version block, walked node by node (length, value length, type, key,
// value, children, each 32-bit aligned): every key with its value.
void versionBlock(const std::wstring& file) {
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        return line(file + L" has no version block");
    const std::wstring label = file.substr(file.rfind(L'\\') + 1) + L" version";
    const auto walk = [&](auto& self, const BYTE* node, const std::wstring& path) -> void {
        const auto* header = reinterpret_cast<const WORD*>(node);
        const auto* key = reinterpret_cast<const wchar_t*>(node + 6);
        const auto align = [&](const BYTE* p) { return node + ((p - node + 3) & ~3); };
        const BYTE* value = align(reinterpret_cast<const BYTE*>(key + wcslen(key) + 1));
        std::wstring text = label + path + L"\\" + key;
        if (header[1] && header[2] == 1) line(text + L" = \"" + reinterpret_cast<const wchar_t*>(value) + L"\"");
        for (WORD i = 0; header[1] && header[2] == 0 && i + 1 < header[1]; i += 2)
            text += L" " + hex(*reinterpret_cast<const WORD*>(value + i)).substr(6);
        if (header[1] && header[2] == 0) line(text);
        for (const BYTE* child = align(value + header[1] * (header[2] == 1 ? 2 : 1)); child < node + header[0];
             child = align(child + *reinterpret_cast<const WORD*>(child)))
            self(self, child, path + L"\\" + key);
    };
    walk(walk, block.data(), L"");
}

void window(HWND hwnd, const std::wstring& indent) {
    RECT r{};
    std::wstring text = indent + className(hwnd) + L" \"" + windowText(hwnd) + L"\" id " + number(GetDlgCtrlID(hwnd)) + L" style " +
                        hex(GetWindowLongW(hwnd, GWL_STYLE)) + L" exstyle " + hex(GetWindowLongW(hwnd, GWL_EXSTYLE));
    GetWindowRect(hwnd, &r);
    if (indent.empty()) {
        RECT client{};
        GetClientRect(hwnd, &client);
        text += L" client " + number(client.right) + L"x" + number(client.bottom) + L" at " + number(r.left) + L"," +
                number(r.top) + L" focus " + number(GetDlgCtrlID(focusOfThread(GetWindowThreadProcessId(hwnd, nullptr))));
    } else {
        MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
        text += L" at " + number(r.left) + L"," + number(r.top) + L" size " + number(r.right - r.left) + L"x" + number(r.bottom - r.top);
    }
    if (className(hwnd) == L"Edit") {
        HIMC ime = ImmGetContext(hwnd);
        text += L" passwordchar " + number(SendMessageW(hwnd, EM_GETPASSWORDCHAR, 0, 0)) + L" ime " + (ime ? L"on" : L"off");
        ImmReleaseContext(hwnd, ime);
    }
    line(text);
    for (HWND child : children(hwnd)) window(child, indent + L"  ");
}

}  // namespace

int wmain() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring dll = besideMe(L"Tavri.dll");
    registration(dll);
    typeLibrary(dll);
    versionBlock(dll);
    versionBlock(besideMe(L"Install.exe"));

    clearStoredSettings();  // the settings window opens with empty fields
    const ComPtr<IDispatch> plugin = createPlugin();
    Bstr result(L"");
    withUser([&] { call(plugin.get(), L"ParseCommand", {arg(L"/xtavrisett"), arg(L""), arg(nullptr), ref(result.slot())}); },
             [] {
                 HWND form = waitForWindow(ownProcess(L"TavriSettingsForm"));
                 waitUntil([&] { return IsChild(form, focusOfThread(GetWindowThreadProcessId(form, nullptr))); });  // fully up
                 form ? window(form, L"") : line(L"the settings window did not open");
                 PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
             });
    Process installer(L"\"" + besideMe(L"Install.exe") + L"\"");
    HWND form = waitForWindow({installer.pid()});
    form ? window(form, L"") : line(L"the installer window did not open");
    PostMessageW(form, WM_CLOSE, 0, 0);
    installer.wait(10000);
    CoUninitialize();
    return 0;
}
