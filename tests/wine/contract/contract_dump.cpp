// Prints what the outside world sees of the built binaries, in one canonical
// text that contract.sh compares with contract.golden: Tavri.dll's exports,
// registry entries, type library and version block, Install.exe's version
// block, and the layout of the settings window and of the installer window.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "handles.h"
#include "process.h"
#include "../support/text.h"
#include "user.h"
#include "window_query.h"

using namespace wintest;
using tavri::win::ComPtr;

namespace {

void line(const std::wstring& text) { std::printf("%s\n", narrow(text).c_str()); }
std::wstring hex(unsigned long n) {
    wchar_t buf[16];
    swprintf(buf, 16, L"0x%08lX", n);
    return buf;
}
std::wstring guidText(const GUID& g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

void exports(HMODULE dll) {
    auto* base = reinterpret_cast<const BYTE*>(dll);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* ex = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + ex->AddressOfNames);
    for (DWORD i = 0; i < ex->NumberOfNames; ++i)
        line(L"export " + widen(reinterpret_cast<const char*>(base + names[i])));
}

// Every key and value under HKEY_CLASSES_ROOT\path.
void registry(const std::wstring& path, std::map<std::wstring, std::wstring>& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    out[path] = L"";
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256], data[1024];
        DWORD nameLength = 256, type = 0, size = sizeof data;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) break;
        out[path + L" | " + (*name ? name : L"@")] = type == REG_SZ ? std::wstring(data, size / 2 - (size ? 1 : 0)) : hex(type);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.push_back(path.empty() ? name : path + L"\\" + name);
    }
    RegCloseKey(key);
    for (const auto& sub : subkeys) registry(sub, out);
}

void registration(const std::wstring& dll) {
    const std::wstring regsvr = L"regsvr32 /s \"" + dll + L"\"";
    std::map<std::wstring, std::wstring> before, after;
    runProcess(L"regsvr32 /s /u \"" + dll + L"\"");
    registry(L"", before);
    runProcess(regsvr);
    registry(L"", after);
    for (auto [key, value] : after) {
        if (before.count(key)) continue;
        const std::wstring folder = dll.substr(0, dll.rfind(L'\\'));
        for (const auto& [path, name] : {std::pair{dll, L"<Tavri.dll>"}, {folder, L"<bin>"}})
            if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, value.c_str(), -1, path.c_str(), -1) == CSTR_EQUAL)
                value = name;
        line(L"registry " + key + (value.empty() ? L"" : L" = " + value));
    }
}

void typeLibrary(const std::wstring& dll) {
    ComPtr<ITypeLib> lib;
    if (FAILED(LoadTypeLibEx(dll.c_str(), REGKIND_NONE, lib.put()))) return line(L"typelib missing");
    TLIBATTR* la = nullptr;
    lib->GetLibAttr(&la);
    BSTR name = nullptr, doc = nullptr;
    lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    line(L"typelib " + std::wstring(name ? name : L"") + L" " + guidText(la->guid) + L" " + std::to_wstring(la->wMajorVerNum) + L"." +
         std::to_wstring(la->wMinorVerNum) + L" lcid " + std::to_wstring(la->lcid) + L" flags " + hex(la->wLibFlags) + L" doc \"" + (doc ? doc : L"") + L"\"");
    SysFreeString(name), SysFreeString(doc), lib->ReleaseTLibAttr(la);
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ComPtr<ITypeInfo> info;
        lib->GetTypeInfo(i, info.put());
        TYPEATTR* ta = nullptr;
        info->GetTypeAttr(&ta);
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        line(L"type " + std::wstring(name) + L" kind " + std::to_wstring(ta->typekind) + L" " + guidText(ta->guid) + L" flags " + hex(ta->wTypeFlags));
        SysFreeString(name);
        for (UINT k = 0; k < ta->cImplTypes; ++k) {
            HREFTYPE ref = 0;
            INT implFlags = 0;
            ComPtr<ITypeInfo> base;
            info->GetRefTypeOfImplType(k, &ref);
            info->GetImplTypeFlags(k, &implFlags);
            info->GetRefTypeInfo(ref, base.put());
            base->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            line(L"  implements " + std::wstring(name) + L" flags " + hex(implFlags));
            SysFreeString(name);
        }
        for (UINT f = 0; f < ta->cFuncs; ++f) {
            FUNCDESC* fd = nullptr;
            info->GetFuncDesc(f, &fd);
            BSTR names[16] = {};
            UINT count = 0;
            info->GetNames(fd->memid, names, 16, &count);
            std::wstring text = L"  method " + hex(fd->memid) + L" " + names[0] + L" invoke " + std::to_wstring(fd->invkind) +
                                L" flags " + hex(fd->wFuncFlags) + L" returns " + std::to_wstring(fd->elemdescFunc.tdesc.vt) + L" (";
            for (SHORT p = 0; p < fd->cParams; ++p) {
                const ELEMDESC& e = fd->lprgelemdescParam[p];
                const VARTYPE vt = e.tdesc.vt == VT_PTR ? (e.tdesc.lptdesc->vt | VT_BYREF) : e.tdesc.vt;
                text += (p ? L", " : L"") + std::wstring(p + 1 < static_cast<SHORT>(count) ? names[p + 1] : L"?") + L" vt " + hex(vt) +
                        L" flags " + std::to_wstring(e.paramdesc.wParamFlags);
            }
            line(text + L")");
            for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
            info->ReleaseFuncDesc(fd);
        }
        info->ReleaseTypeAttr(ta);
    }
}

// The version block, walked node by node: every key with its value.
void versionBlock(const wchar_t* label, const std::wstring& file) {
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        return line(std::wstring(label) + L" has no version block");
    const auto walk = [&](auto& self, const BYTE* node, const std::wstring& path) -> void {
        const WORD length = *reinterpret_cast<const WORD*>(node), valueLength = reinterpret_cast<const WORD*>(node)[1],
                   type = reinterpret_cast<const WORD*>(node)[2];
        const wchar_t* key = reinterpret_cast<const wchar_t*>(node + 6);
        const auto align = [&](const BYTE* p) { return node + ((p - node + 3) & ~3); };
        const BYTE* value = align(reinterpret_cast<const BYTE*>(key + wcslen(key) + 1));
        const std::wstring here = path + L"\\" + key;
        if (valueLength && type == 1) {
            line(std::wstring(label) + here + L" = \"" + reinterpret_cast<const wchar_t*>(value) + L"\"");
        } else if (valueLength) {
            std::wstring words;
            for (WORD i = 0; i + 1 < valueLength; i += 2) words += L" " + hex(*reinterpret_cast<const WORD*>(value + i)).substr(6);
            line(std::wstring(label) + here + L" =" + words);
        }
        for (const BYTE* child = align(value + (type == 1 ? valueLength * 2 : valueLength)); child < node + length;
             child = align(child + *reinterpret_cast<const WORD*>(child)))
            self(self, child, here);
    };
    walk(walk, block.data(), L"");
}

void window(HWND hwnd, const std::wstring& indent) {
    RECT r{};
    GetClientRect(hwnd, &r);
    std::wstring text = indent + className(hwnd) + L" \"" + windowText(hwnd) + L"\" id " + std::to_wstring(GetDlgCtrlID(hwnd)) +
                        L" style " + hex(GetWindowLongW(hwnd, GWL_STYLE)) + L" exstyle " + hex(GetWindowLongW(hwnd, GWL_EXSTYLE));
    if (indent.empty()) {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gui);
        RECT w{};
        GetWindowRect(hwnd, &w);
        text += L" client " + std::to_wstring(r.right) + L"x" + std::to_wstring(r.bottom) + L" at " + std::to_wstring(w.left) +
                L"," + std::to_wstring(w.top) + L" focus " + std::to_wstring(GetDlgCtrlID(gui.hwndFocus));
    } else {
        GetWindowRect(hwnd, &r);
        MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
        text += L" at " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" size " + std::to_wstring(r.right - r.left) +
                L"x" + std::to_wstring(r.bottom - r.top);
    }
    if (className(hwnd) == L"Edit") {
        HIMC ime = ImmGetContext(hwnd);
        text += L" passwordchar " + std::to_wstring(SendMessageW(hwnd, EM_GETPASSWORDCHAR, 0, 0)) + L" ime " + (ime ? L"on" : L"off");
        if (ime) ImmReleaseContext(hwnd, ime);
    }
    line(text);
    for (HWND child : children(hwnd)) window(child, indent + L"  ");
}

void toolTips(DWORD thread) {
    for (HWND tip : findWindows({GetCurrentProcessId(), thread, TOOLTIPS_CLASSW, nullptr, false})) {
        const int count = static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t buffer[512] = {};
            TTTOOLINFOW info{};
            info.cbSize = sizeof info;
            info.lpszText = buffer;
            SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info));
            line(L"  tooltip id " + std::to_wstring(GetDlgCtrlID(reinterpret_cast<HWND>(info.uId))) + L" \"" + buffer + L"\"");
        }
    }
}

void settingsWindow() {
    clearStoredSettings();
    CLSID clsid{};
    ComPtr<IDispatch> plugin;
    CLSIDFromProgID(L"TavriPlugin.plugin", &clsid);
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, plugin.putVoid())))
        return line(L"settings window: no plug-in");
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"ParseCommand");
    plugin->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    withUser([&] {
        BSTR result = SysAllocString(L"");
        VARIANT args[4] = {};
        V_VT(&args[0]) = VT_BSTR | VT_BYREF, V_BSTRREF(&args[0]) = &result;
        V_VT(&args[1]) = VT_DISPATCH;
        V_VT(&args[2]) = VT_BSTR, V_BSTR(&args[2]) = SysAllocString(L"");
        V_VT(&args[3]) = VT_BSTR, V_BSTR(&args[3]) = SysAllocString(L"/xtavrisett");
        DISPPARAMS params{args, nullptr, 4, 0};
        VARIANT out{};
        plugin->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &out, nullptr, nullptr);
        VariantClear(&args[2]), VariantClear(&args[3]), SysFreeString(result);
    }, [&] {
        HWND form = waitForWindow(ownProcess(L"TavriSettingsForm"));
        if (!form) return line(L"settings window did not open");
        window(form, L"");
        toolTips(GetWindowThreadProcessId(form, nullptr));
        PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
}

void installerWindow() {
    Process installer(L"\"" + besideMe(L"Install.exe") + L"\"");
    HWND form = waitForWindow({installer.pid(), 0, nullptr, nullptr});
    if (!form) return line(L"installer window did not open");
    window(form, L"");
    PostMessageW(form, WM_CLOSE, 0, 0);
    installer.wait(10000);
}

}  // namespace

int wmain() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring dll = besideMe(L"Tavri.dll");
    exports(LoadLibraryW(dll.c_str()));
    registration(dll);
    typeLibrary(dll);
    versionBlock(L"Tavri.dll version", dll);
    versionBlock(L"Install.exe version", besideMe(L"Install.exe"));
    settingsWindow();
    installerWindow();
    CoUninitialize();
    return 0;
}
