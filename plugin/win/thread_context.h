#pragma once
// Everything the plug-in objects of one thread share: the platform adapters,
// the settings form and the type information used for dispatch. Created on
// the first object creation on a thread, which also runs the component's
// start-up routine (LoadSettings) before that object is handed out.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "fetch/get_source.h"
#include "frmsett/frmsett.h"
#include "handles.h"
#include "plugin.h"
#include "registry_settings_store.h"
#include "settings_form.h"
#include "shell_process_starter.h"
#include "var_number_parser.h"
#include "win32_ansi_codec.h"
#include "win32_message_boxes.h"

namespace tavri::win {

class ThreadContext {
public:
    // The calling thread's context, started. Throws what the start-up throws
    // (HresultError, AutomationError); a failed start-up runs again next time.
    static ThreadContext& current();

    PluginServices& services() { return services_; }
    // _plugin as the dispatch interface (what clients get from GetTypeInfo)
    // and as the vtable interface (what DispInvoke calls through).
    ITypeInfo* dispatchTypeInfo() const { return dispatchInfo_.get(); }
    ITypeInfo* vtableTypeInfo() const { return vtableInfo_.get(); }

    ThreadContext(const ThreadContext&) = delete;
    ThreadContext& operator=(const ThreadContext&) = delete;

private:
    ThreadContext();
    void start();
    void loadTypeInfo();

    RegistrySettingsStore store_;
    FrmsettFactory windows_;
    Win32MessageBoxes messages_;
    ShellProcessStarter processes_;
    WinInetReportSource reports_;
    VarNumberParser numbers_;
    Win32AnsiCodec ansi_;
    SettingsForm form_;
    PluginServices services_;
    ComPtr<ITypeInfo> dispatchInfo_;
    ComPtr<ITypeInfo> vtableInfo_;
    bool settingsLoaded_ = false;
    ThreadContext* next_ = nullptr;  // every context of the process, for unload

    friend void releaseThreadContexts();
};

// DllMain: reserve the per-thread slot on load; free the contexts when the
// DLL is unloaded while the process goes on.
bool reserveThreadContextSlot();
void releaseThreadContexts();

}  // namespace tavri::win
