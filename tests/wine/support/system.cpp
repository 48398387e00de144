// Processes, text and the registry.
#include "wintest.h"

namespace wintest {
namespace {

const std::wstring kSettings = L"Software\\VB and VBA Program Settings\\Tavri Plugin";

}  // namespace

// Its output goes where this program's goes, into the test's log.
Process::Process(const std::wstring& commandLine, const std::wstring& currentDirectory) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &si, &pi))
        return;
    CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    pid_ = pi.dwProcessId;
}

Process::~Process() { wait(0); }

int Process::wait(DWORD timeoutMs) {
    DWORD code = 0;
    if (process_ && WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process_.get(), &code))
        return static_cast<int>(code);
    if (process_ && TerminateProcess(process_.get(), 99)) WaitForSingleObject(process_.get(), 5000);
    return -1;
}

int runProcess(const std::wstring& commandLine, DWORD timeoutMs) {
    return Process(commandLine).wait(timeoutMs);
}

std::wstring besideMe(const wchar_t* fileName) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self = path;
    return self.substr(0, self.find_last_of(L"\\/") + 1) + fileName;
}

std::string narrow(const std::wstring& text) {
    std::string out(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                        nullptr, nullptr),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()),
                        nullptr, nullptr);
    return out;
}

std::wstring widen(const std::string& text) {
    std::wstring out(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0),
                     L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()));
    return out;
}

std::wstring readString(HKEY root, const std::wstring& path, const wchar_t* value, bool* found) {
    DWORD size = 0;
    LSTATUS rc = RegGetValueW(root, path.c_str(), value, RRF_RT_REG_SZ, nullptr, nullptr, &size);
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (rc == ERROR_SUCCESS)
        rc = RegGetValueW(root, path.c_str(), value, RRF_RT_REG_SZ, nullptr, data.data(), &size);
    if (found) *found = rc == ERROR_SUCCESS;
    return rc == ERROR_SUCCESS ? data.c_str() : L"";
}

void registryTree(HKEY root, const std::wstring& path, std::map<std::wstring, std::wstring>& tree) {
    tavri::win::UniqueHKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    tree[path] = L"";
    wchar_t name[16384];
    BYTE data[8192];
    for (DWORD i = 0, length = 16384, type = 0, size = sizeof data;
         RegEnumValueW(key.get(), i, name, &length, nullptr, &type, data, &size) !=
         ERROR_NO_MORE_ITEMS;
         ++i, length = 16384, size = sizeof data) {
        const auto* text = reinterpret_cast<const wchar_t*>(data);
        tree[path + L" | " + (*name ? name : L"@")] =
            type == REG_SZ ? std::wstring(text, wcsnlen(text, size / 2))
                           : hex(type) + std::wstring(data, data + size);
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0, length = 256; RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr,
                                                  nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 256)
        subkeys.push_back(path.empty() ? name : path + L"\\" + name);
    for (const auto& sub : subkeys)
        registryTree(root, sub, tree);
}

void storeCredentials(const std::string& user, const std::string& password) {
    for (const auto& [name, value] :
         {std::pair{L"username", widen(user)}, {L"password", widen(password)}})
        RegSetKeyValueW(HKEY_CURRENT_USER, (kSettings + L"\\Data").c_str(), name, REG_SZ,
                        value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void clearStoredSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, kSettings.c_str()); }

tavri::win::ComPtr<IDispatch> createPlugin() {
    CLSID clsid{};
    tavri::win::ComPtr<IDispatch> object;
    if (SUCCEEDED(CLSIDFromProgID(L"TavriPlugin.plugin", &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.putVoid());
    return object;
}

}  // namespace wintest
