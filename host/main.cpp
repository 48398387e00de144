// plughost: a stand-in for the messenger add-on host. Loads the plug-ins
// listed in the registry, shakes hands with them, and expands chat lines
// from its arguments (or standard input) through them.
//
//   plughost [--raw] [--email ADDRESS] [--] [LINE...]
//   plughost --list
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

#include "chat.h"
#include "console_io.h"
#include "dispatch_call.h"
#include "owners.h"
#include "loaded_plugin.h"
#include "stub_object.h"

using namespace plughost;

namespace {

constexpr const wchar_t* kPluginsKey = L"SOFTWARE\\Messenger Plus! 2\\Plugins";

struct Options {
    bool list = false;
    bool raw = false;
    std::wstring email = L"user@example.com";
    std::vector<std::wstring> lines;
};

bool parseOptions(int argc, wchar_t** argv, Options& options, Output& err) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (optionsEnded || arg.rfind(L"--", 0) != 0) {
            options.lines.push_back(arg);
        } else if (arg == L"--") {
            optionsEnded = true;
        } else if (arg == L"--list") {
            options.list = true;
        } else if (arg == L"--raw") {
            options.raw = true;
        } else if (arg == L"--email" && i + 1 < argc) {
            options.email = argv[++i];
        } else {
            err.line(L"plughost: unknown option " + arg);
            err.line(L"usage: plughost [--raw] [--email ADDRESS] [--] [LINE...] | plughost --list");
            return false;
        }
    }
    return true;
}

// Value name = plug-in name, data = its ProgID.
std::vector<std::wstring> registeredProgIds() {
    std::vector<std::wstring> progIds;
    RegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPluginsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return progIds;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0;
        wchar_t data[512] = {};
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        const LSTATUS rc = RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data), &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_SUCCESS && type == REG_SZ && data[0]) progIds.push_back(data);
    }
    return progIds;
}

void pumpPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void printPublications(const LoadedPlugin& plugin, Output& out) {
    out.line(L"plug-in " + plugin.name() + L" (" + plugin.progId() + L")");
    for (const auto& c : plugin.commands())
        out.line(L"  command /" + c.word + L"  \"" + c.name + L"\"  help: " + c.help);
    for (const auto& t : plugin.tags())
        out.line(L"  tag " + t.text + L"  \"" + t.name + L"\"");
}

int run(const Options& options, Output& out, Output& err) {
    const Com<IDispatch> messenger(createStubObject());
    const Com<IDispatch> conversation(createStubObject());
    HostIdentity host{2, options.email, messenger.get()};

    std::vector<std::unique_ptr<LoadedPlugin>> plugins;
    for (const auto& progId : registeredProgIds()) {
        try {
            plugins.push_back(std::make_unique<LoadedPlugin>(progId, host));
        } catch (const CallFailure& failure) {
            err.line(L"plughost: " + progId + L" not loaded: " + failure.text());
        }
    }
    if (plugins.empty()) {
        err.line(L"plughost: no plug-in could be loaded (HKLM\\" + std::wstring(kPluginsKey) +
                 L")");
        return 1;
    }

    if (options.list) {
        for (const auto& plugin : plugins)
            printPublications(*plugin, out);
        return 0;
    }

    Chat chat(plugins, conversation.get(), out, err, options.raw);
    if (!options.lines.empty()) {
        for (const auto& line : options.lines) {
            chat.typeLine(line);
            pumpPendingMessages();
        }
    } else {
        LineInput input;
        while (const auto line = input.next()) {
            chat.typeLine(*line);
            pumpPendingMessages();
        }
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Output out(STD_OUTPUT_HANDLE);
    Output err(STD_ERROR_HANDLE);
    Options options;
    if (!parseOptions(argc, argv, options, err)) return 2;

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        err.line(L"plughost: COM could not be initialised");
        return 1;
    }
    const int rc = run(options, out, err);
    CoUninitialize();
    return rc;
}
