// Prints what the outside world sees of the built binaries, in one canonical
// text that contract.sh compares with contract.golden: Tavri.dll's registry
// entries (and what unregistering leaves), type library and version block,
// Install.exe's version block and manifest, and the layout of the settings
// window (with its tool tips) and of the installer window. Flags and kinds
// are written by their names in the Windows headers.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <utility>
#include <vector>

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

using Names = std::vector<std::pair<unsigned long, const wchar_t*>>;
#define NAMED(x) \
    { static_cast<unsigned long>(x), L## #x }

// The names of the bits set in value, in table order, joined by '|'; an entry
// of several bits counts only when all are set. Bits no entry names stay as a
// hexadecimal rest, so the text is exact; no bits at all is "0".
std::wstring flagNames(unsigned long value, const Names& names) {
    std::wstring text;
    for (const auto& [bits, name] : names) {
        if ((value & bits) != bits) continue;
        text += (text.empty() ? L"" : L"|") + std::wstring(name);
        value &= ~bits;
    }
    if (value) text += (text.empty() ? L"" : L"|") + hex(static_cast<HRESULT>(value));
    return text.empty() ? L"0" : text;
}
std::wstring valueName(unsigned long value, const Names& names) {
    for (const auto& [v, name] : names)
        if (v == value) return name;
    return number(static_cast<long>(value));
}

const Names kLibFlags = {NAMED(LIBFLAG_FHIDDEN), NAMED(LIBFLAG_FHASDISKIMAGE)};
const Names kTypeKinds = {NAMED(TKIND_INTERFACE), NAMED(TKIND_DISPATCH), NAMED(TKIND_COCLASS)};
const Names kTypeFlags = {NAMED(TYPEFLAG_FCANCREATE),     NAMED(TYPEFLAG_FHIDDEN),
                          NAMED(TYPEFLAG_FDUAL),          NAMED(TYPEFLAG_FNONEXTENSIBLE),
                          NAMED(TYPEFLAG_FOLEAUTOMATION), NAMED(TYPEFLAG_FDISPATCHABLE)};
const Names kImplTypeFlags = {NAMED(IMPLTYPEFLAG_FDEFAULT), NAMED(IMPLTYPEFLAG_FSOURCE)};
const Names kInvokeKinds = {NAMED(INVOKE_FUNC), NAMED(INVOKE_PROPERTYGET),
                            NAMED(INVOKE_PROPERTYPUT)};
const Names kFuncFlags = {NAMED(FUNCFLAG_FRESTRICTED), NAMED(FUNCFLAG_FHIDDEN)};
const Names kParamFlags = {NAMED(PARAMFLAG_FIN), NAMED(PARAMFLAG_FOUT), NAMED(PARAMFLAG_FRETVAL),
                           NAMED(PARAMFLAG_FOPT)};
const Names kVarTypes = {NAMED(VT_I2),   NAMED(VT_I4),      NAMED(VT_BSTR),    NAMED(VT_DISPATCH),
                         NAMED(VT_BOOL), NAMED(VT_VARIANT), NAMED(VT_UNKNOWN), NAMED(VT_VOID)};

std::wstring varType(VARTYPE vt) {
    const std::wstring base = valueName(vt & VT_TYPEMASK, kVarTypes);
    return (vt & VT_BYREF) ? L"VT_BYREF|" + base : base;
}

// A window class's own style bits: a kind, one value under a mask (written
// last), and flags.
struct ClassStyles {
    const wchar_t* windowClass;
    unsigned long kindMask;
    Names kinds, flags;
};
const ClassStyles kClassStyles[] = {
    {L"Button",
     BS_TYPEMASK,
     {NAMED(BS_PUSHBUTTON), NAMED(BS_DEFPUSHBUTTON), NAMED(BS_CHECKBOX), NAMED(BS_AUTOCHECKBOX),
      NAMED(BS_AUTORADIOBUTTON), NAMED(BS_GROUPBOX)},
     {NAMED(BS_CENTER), NAMED(BS_MULTILINE), NAMED(BS_FLAT)}},
    {L"Edit",
     0,
     {},
     {NAMED(ES_CENTER), NAMED(ES_RIGHT), NAMED(ES_MULTILINE), NAMED(ES_PASSWORD),
      NAMED(ES_AUTOVSCROLL), NAMED(ES_AUTOHSCROLL), NAMED(ES_READONLY), NAMED(ES_NUMBER)}},
    {L"Static",
     SS_TYPEMASK,
     {NAMED(SS_LEFT), NAMED(SS_CENTER), NAMED(SS_RIGHT), NAMED(SS_LEFTNOWORDWRAP)},
     {NAMED(SS_NOPREFIX), NAMED(SS_SUNKEN)}},
};

// Window styles: the bits every window has, then those of its class.
std::wstring windowStyle(HWND hwnd) {
    const auto style = static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_STYLE));
    Names names = {NAMED(WS_POPUP),        NAMED(WS_CHILD),    NAMED(WS_MINIMIZE),
                   NAMED(WS_VISIBLE),      NAMED(WS_DISABLED), NAMED(WS_CLIPSIBLINGS),
                   NAMED(WS_CLIPCHILDREN), NAMED(WS_MAXIMIZE), NAMED(WS_CAPTION),
                   NAMED(WS_BORDER),       NAMED(WS_DLGFRAME), NAMED(WS_VSCROLL),
                   NAMED(WS_HSCROLL),      NAMED(WS_SYSMENU),  NAMED(WS_THICKFRAME)};
    // The same two bits mean one thing on a control, another on a window.
    const Names control = {NAMED(WS_GROUP), NAMED(WS_TABSTOP)};
    const Names window = {NAMED(WS_MINIMIZEBOX), NAMED(WS_MAXIMIZEBOX)};
    const Names& shared = (style & WS_CHILD) ? control : window;
    names.insert(names.end(), shared.begin(), shared.end());
    unsigned long own = style & 0xFFFF;
    std::wstring kind;
    for (const auto& c : kClassStyles) {
        if (className(hwnd) != c.windowClass) continue;
        if (c.kindMask) kind = L"|" + valueName(own & c.kindMask, c.kinds);
        own &= ~c.kindMask;
        names.insert(names.end(), c.flags.begin(), c.flags.end());
    }
    return flagNames((style & 0xFFFF0000) | own, names) + kind;
}

const Names kExStyles = {
    NAMED(WS_EX_DLGMODALFRAME), NAMED(WS_EX_TOPMOST),    NAMED(WS_EX_TOOLWINDOW),
    NAMED(WS_EX_WINDOWEDGE),    NAMED(WS_EX_CLIENTEDGE), NAMED(WS_EX_CONTROLPARENT),
    NAMED(WS_EX_STATICEDGE),    NAMED(WS_EX_APPWINDOW),  NAMED(WS_EX_LAYERED)};

using Tree = std::map<std::wstring, std::wstring>;

// Each key of `now` that is not in `before`, with its values and the build's
// folder left out, one line a key.
void addedKeys(const Tree& before, const Tree& now, const std::wstring& dll,
               const std::wstring& label) {
    std::map<std::wstring, std::wstring> keys;
    for (auto [key, value] : now) {
        const auto bar = key.find(L" | ");
        if (before.count(key) || bar == std::wstring::npos) continue;
        for (const auto& [path, name] :
             {std::pair{dll, L"<Tavri.dll>"}, {dll.substr(0, dll.rfind(L'\\')), L"<bin>"}})
            if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, value.c_str(), -1, path.c_str(),
                               -1) == CSTR_EQUAL)
                value = name;
        keys[key.substr(0, bar)] += L" " + key.substr(bar + 3) + L"=" + value;
    }
    for (const auto& [key, values] : keys)
        line(label + key + values);
}

// What registering adds under HKEY_CLASSES_ROOT, and what unregistering (twice)
// leaves of it when another version of the type library was registered
// meanwhile: that version only.
void registration(const std::wstring& dll) {
    const std::wstring add = L"regsvr32 /s \"" + dll + L"\"",
                       remove = L"regsvr32 /s /u \"" + dll + L"\"";
    Tree before, registered, unregistered;
    runProcess(remove);
    registryTree(HKEY_CLASSES_ROOT, L"", before);
    std::wstring exits = number(runProcess(add));
    registryTree(HKEY_CLASSES_ROOT, L"", registered);
    addedKeys(before, registered, dll, L"registry ");
    const std::wstring clsid = readString(HKEY_CLASSES_ROOT, L"TavriPlugin.plugin\\CLSID", nullptr);
    const std::wstring library =
        L"TypeLib\\" + readString(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\TypeLib", nullptr);
    RegSetKeyValueW(HKEY_CLASSES_ROOT, (library + L"\\9.9").c_str(), nullptr, REG_SZ, L"another",
                    16);
    exits += L" " + number(runProcess(remove)) + L" " + number(runProcess(remove));
    registryTree(HKEY_CLASSES_ROOT, L"", unregistered);
    addedKeys(before, unregistered, dll, L"left after unregistering ");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, library.c_str());
    line(L"regsvr32 exit codes: register, unregister, again, register " + exits + L" " +
         number(runProcess(add)));
}

// The library, its types and the methods each declares itself (not the
// ones inherited from IDispatch).
void typeLibrary(const std::wstring& dll) {
    ComPtr<ITypeLib> lib;
    if (FAILED(LoadTypeLibEx(dll.c_str(), REGKIND_NONE, lib.put())))
        return line(L"no type library");
    TLIBATTR* la = nullptr;
    BSTR name = nullptr, doc = nullptr;
    lib->GetLibAttr(&la);
    lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    line(L"typelib " + std::wstring(name) + L" " + guid(la->guid) + L" " +
         number(la->wMajorVerNum) + L"." + number(la->wMinorVerNum) + L" lcid " + number(la->lcid) +
         L" flags " + flagNames(la->wLibFlags, kLibFlags) + L" doc \"" + (doc ? doc : L"") + L"\"");
    SysFreeString(name);
    SysFreeString(doc);
    lib->ReleaseTLibAttr(la);
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ComPtr<ITypeInfo> info;
        TYPEATTR* ta = nullptr;
        lib->GetTypeInfo(i, info.put());
        info->GetTypeAttr(&ta);
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        std::wstring text = L"type " + std::wstring(name) + L" kind " +
                            valueName(ta->typekind, kTypeKinds) + L" " + guid(ta->guid) +
                            L" flags " + flagNames(ta->wTypeFlags, kTypeFlags);
        SysFreeString(name);
        for (UINT k = 0; k < ta->cImplTypes; ++k) {
            HREFTYPE ref = 0;
            INT flags = 0;
            ComPtr<ITypeInfo> base;
            info->GetRefTypeOfImplType(k, &ref);
            info->GetImplTypeFlags(k, &flags);
            info->GetRefTypeInfo(ref, base.put());
            base->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            text += L" implements " + std::wstring(name) + L" flags " +
                    flagNames(flags, kImplTypeFlags);
            SysFreeString(name);
        }
        line(text);
        for (UINT f = 0; f < ta->cFuncs; ++f) {
            FUNCDESC* fd = nullptr;
            BSTR names[16] = {};
            UINT count = 0;
            info->GetFuncDesc(f, &fd);
            info->GetNames(fd->memid, names, 16, &count);
            std::wstring text = L"  method " + hex(fd->memid) + L" " + names[0] + L" invoke " +
                                flagNames(fd->invkind, kInvokeKinds) + L" flags " +
                                flagNames(fd->wFuncFlags, kFuncFlags) + L" returns " +
                                varType(fd->elemdescFunc.tdesc.vt) + L" (";
            for (SHORT p = 0; p < fd->cParams; ++p) {
                const ELEMDESC& e = fd->lprgelemdescParam[p];
                text +=
                    (p ? L", " : L"") + std::wstring(p + 1u < count ? names[p + 1] : L"?") +
                    L" vt " +
                    varType(e.tdesc.vt == VT_PTR ? e.tdesc.lptdesc->vt | VT_BYREF : e.tdesc.vt) +
                    L" flags " + flagNames(e.paramdesc.wParamFlags, kParamFlags);
            }
            if (fd->memid >= 0x60020000) line(text + L")");
            for (UINT n = 0; n < count; ++n)
                SysFreeString(names[n]);
            info->ReleaseFuncDesc(fd);
        }
        info->ReleaseTypeAttr(ta);
    }
}

std::wstring version(DWORD high, DWORD low) {
    return number(HIWORD(high)) + L"." + number(LOWORD(high)) + L"." + number(HIWORD(low)) + L"." +
           number(LOWORD(low));
}

std::wstring fixedFileInfo(const VS_FIXEDFILEINFO& f) {
    const Names fileFlags = {NAMED(VS_FF_DEBUG),        NAMED(VS_FF_PRERELEASE),
                             NAMED(VS_FF_PATCHED),      NAMED(VS_FF_PRIVATEBUILD),
                             NAMED(VS_FF_INFOINFERRED), NAMED(VS_FF_SPECIALBUILD)};
    return L" signature " + hex(static_cast<HRESULT>(f.dwSignature)) + L" struct " +
           number(HIWORD(f.dwStrucVersion)) + L"." + number(LOWORD(f.dwStrucVersion)) + L" file " +
           version(f.dwFileVersionMS, f.dwFileVersionLS) + L" product " +
           version(f.dwProductVersionMS, f.dwProductVersionLS) + L" flagsmask " +
           flagNames(f.dwFileFlagsMask, fileFlags) + L" flags " +
           flagNames(f.dwFileFlags, fileFlags) + L" os " +
           valueName(f.dwFileOS, {NAMED(VOS__WINDOWS32), NAMED(VOS_NT_WINDOWS32)}) + L" type " +
           valueName(f.dwFileType, {NAMED(VFT_APP), NAMED(VFT_DLL)}) + L" subtype " +
           number(static_cast<long>(f.dwFileSubtype)) + L" date " +
           number(static_cast<long>(f.dwFileDateMS)) + L"." +
           number(static_cast<long>(f.dwFileDateLS));
}

// What the application manifest, as Windows reads it from the binary, asks
// of Windows: its lines that name the execution level, the Windows versions
// it knows, and DPI awareness.
void manifest(const std::wstring& file) {
    const std::wstring label = file.substr(file.rfind(L'\\') + 1) + L" manifest ";
    HMODULE image = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = image ? FindResourceW(image, MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr;
    const auto* bytes =
        found ? static_cast<const char*>(LockResource(LoadResource(image, found))) : nullptr;
    std::istringstream xml(
        std::regex_replace(bytes ? std::string(bytes, SizeofResource(image, found)) : "",
                           std::regex("<!--[\\s\\S]*?-->"), ""));
    if (image) FreeLibrary(image);
    for (std::string text; std::getline(xml, text);) {
        const auto start = text.find_first_not_of(" \r");
        if (std::regex_search(text, std::regex("requestedExecutionLevel|supportedOS|dpiAware")))
            line(label + widen(text.substr(start)));
    }
}

// The version block, walked node by node (length, value length, type, key,
// value, children, each 32-bit aligned): every key with its value.
void versionBlock(const std::wstring& file) {
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    if (block.empty() ||
        !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        return line(file + L" has no version block");
    const std::wstring label = file.substr(file.rfind(L'\\') + 1) + L" version";
    const auto walk = [&](auto& self, const BYTE* node, const std::wstring& path) -> void {
        const auto* header = reinterpret_cast<const WORD*>(node);
        const auto* key = reinterpret_cast<const wchar_t*>(node + 6);
        const auto align = [&](const BYTE* p) { return node + ((p - node + 3) & ~3); };
        const BYTE* value = align(reinterpret_cast<const BYTE*>(key + wcslen(key) + 1));
        const WORD length = header[1], type = header[2];  // type 1: text, 0: binary
        std::wstring text = label + path + L"\\" + key;
        if (length && type == 1) {
            line(text + L" = \"" + reinterpret_cast<const wchar_t*>(value) + L"\"");
        } else if (length == sizeof(VS_FIXEDFILEINFO) && type == 0) {
            line(text + fixedFileInfo(*reinterpret_cast<const VS_FIXEDFILEINFO*>(value)));
        } else if (length && type == 0) {
            for (WORD i = 0; i + 1 < length; i += 2)
                text += L" " + hex(*reinterpret_cast<const WORD*>(value + i)).substr(6);
            line(text);
        }
        for (const BYTE* child = align(value + length * (type == 1 ? 2 : 1));
             child < node + header[0]; child = align(child + *reinterpret_cast<const WORD*>(child)))
            self(self, child, path + L"\\" + key);
    };
    walk(walk, block.data(), L"");
}

void window(HWND hwnd, const std::wstring& indent) {
    RECT r{};
    std::wstring text = indent + className(hwnd) + L" \"" + windowText(hwnd) + L"\" id " +
                        number(GetDlgCtrlID(hwnd)) + L" style " + windowStyle(hwnd) + L" exstyle " +
                        flagNames(GetWindowLongW(hwnd, GWL_EXSTYLE), kExStyles);
    GetWindowRect(hwnd, &r);
    if (indent.empty()) {
        RECT client{};
        GetClientRect(hwnd, &client);
        text += L" client " + number(client.right) + L"x" + number(client.bottom) + L" at " +
                number(r.left) + L"," + number(r.top) + L" focus " +
                number(GetDlgCtrlID(focusOfThread(GetWindowThreadProcessId(hwnd, nullptr))));
    } else {
        MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
        text += L" at " + number(r.left) + L"," + number(r.top) + L" size " +
                number(r.right - r.left) + L"x" + number(r.bottom - r.top);
    }
    if (className(hwnd) == L"Edit") {
        HIMC ime = ImmGetContext(hwnd);
        text += L" passwordchar " + number(SendMessageW(hwnd, EM_GETPASSWORDCHAR, 0, 0)) +
                L" ime " + (ime ? L"on" : L"off");
        ImmReleaseContext(hwnd, ime);
    }
    line(text);
    for (HWND child : children(hwnd))
        window(child, indent + L"  ");
}

// The tools of each tool-tip window of this process that owner owns: the
// control's id and its tip.
void toolTips(HWND owner) {
    for (HWND tip : findWindows({GetCurrentProcessId(), 0, TOOLTIPS_CLASSW, nullptr, false})) {
        if (GetWindow(tip, GW_OWNER) != owner) continue;
        for (LRESULT i = 0; i < SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0); ++i) {
            wchar_t text[80] = {};
            TTTOOLINFOW tool{};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.lpszText = text;
            SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool));
            line(L"  tooltip id " + number(GetDlgCtrlID(reinterpret_cast<HWND>(tool.uId))) +
                 L" \"" + text + L"\"");
        }
    }
}

}  // namespace

int wmain() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring dll = besideMe(L"Tavri.dll");
    registration(dll);
    typeLibrary(dll);
    versionBlock(dll);
    versionBlock(besideMe(L"Install.exe"));
    manifest(besideMe(L"Install.exe"));

    clearStoredSettings();  // the settings window opens with empty fields
    const ComPtr<IDispatch> plugin = createPlugin();
    Bstr result(L"");
    withUser(
        [&] {
            call(plugin.get(), L"ParseCommand",
                 {arg(L"/xtavrisett"), arg(L""), arg(nullptr), ref(result.slot())});
        },
        [] {
            HWND form = waitForWindow(ownProcess(L"TavriSettingsForm"));
            waitUntil([&] {
                return IsChild(form, focusOfThread(GetWindowThreadProcessId(form, nullptr)));
            });  // fully up
            form ? window(form, L"") : line(L"the settings window did not open");
            toolTips(form);
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
