// Registration through regsvr32: what it writes, and that unregistering
// takes away exactly that.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "com_test_support.h"
#include "win_ui.h"

namespace {

using comtest::kClsid;
using comtest::kIid;
using comtest::kLibid;
using wintest::keyExists;
using wintest::readString;

// Every key and value below a root, for before/after comparisons.
using Snapshot = std::map<std::wstring, std::wstring>;

void snapshotKey(HKEY parent, const std::wstring& path, Snapshot& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    out[path] = L"<key>";
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = static_cast<DWORD>(data.size());
        const LSTATUS rc = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(),
                                         &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        std::wstring value = std::to_wstring(type) + L":";
        for (DWORD b = 0; b < size; ++b) value += static_cast<wchar_t>(data[b]);
        out[path + L"|" + name] = value;
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(key);
    for (const auto& sub : subkeys) snapshotKey(parent, path.empty() ? sub : path + L"\\" + sub, out);
}

Snapshot snapshotClassesRoot() {
    Snapshot s;
    snapshotKey(HKEY_CLASSES_ROOT, L"", s);
    return s;
}

std::wstring differences(const Snapshot& before, const Snapshot& after) {
    std::wstring text;
    for (const auto& [k, v] : before) {
        auto it = after.find(k);
        if (it == after.end())
            text += L"  removed: " + k + L"\n";
        else if (it->second != v)
            text += L"  changed: " + k + L"\n";
    }
    for (const auto& [k, v] : after)
        if (!before.count(k)) text += L"  added: " + k + L"\n";
    return text;
}

std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsid;
const std::wstring kInterfaceKey = std::wstring(L"Interface\\") + kIid;
const std::wstring kTypeLibKey = std::wstring(L"TypeLib\\") + kLibid;

TEST(Registration, RegsvrMakesTheClassCreatableAndRegistersTheTypeLibrary) {
    ASSERT_EQ(0, comtest::regsvr32());

    EXPECT_EQ(L"TavriPlugin.plugin", readString(HKEY_CLASSES_ROOT, kClassKey, nullptr));
    const std::wstring server = readString(HKEY_CLASSES_ROOT, kClassKey + L"\\InprocServer32", nullptr);
    EXPECT_TRUE(comtest::sameText(server, comtest::tavriDll())) << narrow(server);
    EXPECT_EQ(L"Apartment",
              readString(HKEY_CLASSES_ROOT, kClassKey + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(L"TavriPlugin.plugin", readString(HKEY_CLASSES_ROOT, kClassKey + L"\\ProgID", nullptr));
    EXPECT_EQ(kLibid, readString(HKEY_CLASSES_ROOT, kClassKey + L"\\TypeLib", nullptr));

    EXPECT_EQ(L"TavriPlugin.plugin", readString(HKEY_CLASSES_ROOT, L"TavriPlugin.plugin", nullptr));
    EXPECT_EQ(kClsid, readString(HKEY_CLASSES_ROOT, L"TavriPlugin.plugin\\CLSID", nullptr));

    EXPECT_EQ(L"_plugin", readString(HKEY_CLASSES_ROOT, kInterfaceKey, nullptr));
    EXPECT_EQ(comtest::kAutomationProxy,
              readString(HKEY_CLASSES_ROOT, kInterfaceKey + L"\\ProxyStubClsid32", nullptr));
    EXPECT_EQ(kLibid, readString(HKEY_CLASSES_ROOT, kInterfaceKey + L"\\TypeLib", nullptr));
    EXPECT_EQ(L"1.0", readString(HKEY_CLASSES_ROOT, kInterfaceKey + L"\\TypeLib", L"Version"));

    const std::wstring library =
        readString(HKEY_CLASSES_ROOT, kTypeLibKey + L"\\1.0\\0\\win32", nullptr);
    EXPECT_TRUE(comtest::sameText(library, comtest::tavriDll())) << narrow(library);

    // What the registry says is what COM uses.
    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"TavriPlugin.plugin", &clsid));
    EXPECT_EQ(comtest::guid(kClsid), clsid);
    tavri::win::ComPtr<ITypeLib> registered;
    EXPECT_EQ(S_OK, LoadRegTypeLib(comtest::guid(kLibid), 1, 0, 0, registered.put()));
}

TEST(Registration, UnregisterRemovesExactlyWhatRegisterWrote) {
    ASSERT_EQ(0, comtest::regsvr32(true));
    const Snapshot before = snapshotClassesRoot();
    ASSERT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));

    ASSERT_EQ(0, comtest::regsvr32());
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kInterfaceKey));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kTypeLibKey));

    ASSERT_EQ(0, comtest::regsvr32(true));
    for (const auto& key : {kClassKey, kInterfaceKey, kTypeLibKey, std::wstring(L"TavriPlugin.plugin")})
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, key)) << narrow(key);
    const Snapshot after = snapshotClassesRoot();
    EXPECT_TRUE(before == after) << narrow(differences(before, after));

    // Unregistering what is not registered is no error.
    EXPECT_EQ(0, comtest::regsvr32(true));
    EXPECT_EQ(0, comtest::regsvr32());  // leave it registered for what follows
}

}  // namespace
