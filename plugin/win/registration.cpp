#include "registration.h"

#include <oleauto.h>

#include <string>

#include "TavriPlugin_h.h"
#include "handles.h"
#include "module.h"

namespace tavri::win {
namespace {

constexpr const wchar_t* kProgId = L"TavriPlugin.plugin";

std::wstring guidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT setString(const std::wstring& keyPath, const wchar_t* name, const std::wstring& value) {
    UniqueHKey key;
    LSTATUS rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                 nullptr, key.put(), nullptr);
    if (rc == ERROR_SUCCESS)
        rc =
            RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(rc);
}

bool isAbsent(LSTATUS rc) { return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND; }

// A key and everything below it, deepest first (RegDeleteKeyW takes only a
// key without subkeys).
LSTATUS deleteKeyAndSubkeys(HKEY parent, const wchar_t* keyPath) {
    UniqueHKey key;
    LSTATUS rc =
        RegOpenKeyExW(parent, keyPath, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, key.put());
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        // Always the first subkey: the one before is gone by now.
        wchar_t name[256];  // a key name has at most 255 characters
        DWORD length = 256;
        rc = RegEnumKeyExW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_SUCCESS) rc = deleteKeyAndSubkeys(key.get(), name);
        if (rc != ERROR_SUCCESS) return rc;
    }
    key.reset();
    return RegDeleteKeyW(parent, keyPath);
}

HRESULT deleteTree(const std::wstring& keyPath) {
    const LSTATUS rc = deleteKeyAndSubkeys(HKEY_CLASSES_ROOT, keyPath.c_str());
    return rc == ERROR_SUCCESS || isAbsent(rc) ? S_OK : HRESULT_FROM_WIN32(rc);
}

// Deletes the key only if nothing is left below it.
HRESULT deleteIfEmpty(const std::wstring& keyPath) {
    UniqueHKey key;
    LSTATUS rc = RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, key.put());
    if (isAbsent(rc)) return S_OK;
    DWORD subkeys = 0, values = 0;
    if (rc == ERROR_SUCCESS)
        rc = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    key.reset();
    if (subkeys != 0 || values != 0) return S_OK;
    return deleteTree(keyPath);
}

}  // namespace

HRESULT registerServer() {
    const std::wstring path = serverModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    const std::wstring clsid = guidText(CLSID_plugin);
    const std::wstring classKey = L"CLSID\\" + clsid;

    HRESULT hr = setString(classKey, nullptr, kProgId);
    if (SUCCEEDED(hr)) hr = setString(classKey + L"\\InprocServer32", nullptr, path);
    if (SUCCEEDED(hr))
        hr = setString(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    if (SUCCEEDED(hr)) hr = setString(classKey + L"\\ProgID", nullptr, kProgId);
    if (SUCCEEDED(hr))
        hr = setString(classKey + L"\\TypeLib", nullptr, guidText(LIBID_TavriPlugin));
    if (SUCCEEDED(hr)) hr = setString(kProgId, nullptr, kProgId);
    if (SUCCEEDED(hr)) hr = setString(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid);
    if (FAILED(hr)) return hr;

    ComPtr<ITypeLib> library;
    hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
    if (SUCCEEDED(hr))
        hr = RegisterTypeLib(library.get(), const_cast<LPOLESTR>(path.c_str()), nullptr);
    return hr;
}

HRESULT unregisterServer() {
    // Fails harmlessly when the library is not registered; the keys it would
    // remove are removed below in any case.
    UnRegisterTypeLib(LIBID_TavriPlugin, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);

    const std::wstring library = L"TypeLib\\" + guidText(LIBID_TavriPlugin);
    const HRESULT steps[] = {
        deleteTree(L"Interface\\" + guidText(IID__plugin)),
        deleteTree(library + L"\\1.0"),
        deleteIfEmpty(library),
        deleteTree(L"CLSID\\" + guidText(CLSID_plugin)),
        deleteTree(kProgId),
    };
    for (HRESULT hr : steps)
        if (FAILED(hr)) return hr;
    return S_OK;
}

}  // namespace tavri::win
