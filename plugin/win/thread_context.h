#pragma once
// Everything the plug-in objects of one thread share: the platform adapters
// and the settings form. Created on the first object creation on a thread,
// which also runs the component's start-up routine (LoadSettings) before that
// object is handed out. The thread holds one reference and every object one;
// it goes with the last of them, so a thread that ends leaves nothing behind
// once its objects are gone, except a context whose settings window the
// thread still had: that one is left to the system with the window.
#include <windows.h>

#include <atomic>

#include "fetch/get_source.h"
#include "frmsett/frmsett.h"
#include "plugin.h"
#include "registry_settings_store.h"
#include "settings_form.h"
#include "shell_process_starter.h"
#include "var_number_parser.h"
#include "win32_ansi_codec.h"
#include "win32_message_boxes.h"

namespace tavri::win {

struct ContextListEntry;

class ThreadContext {
public:
    // The calling thread's context, started. Throws what the start-up throws
    // (HresultError, AutomationError); a failed start-up runs again next time.
    static ThreadContext& current();

    void addRef() { InterlockedIncrement(&refs_); }
    void release();
    // Lets go of the thread's reference as the thread ends (see endThreadContext).
    void detach();
    PluginServices& services() { return services_; }

    ThreadContext(const ThreadContext&) = delete;
    ThreadContext& operator=(const ThreadContext&) = delete;

private:
    ThreadContext();
    ~ThreadContext();
    void start();

    RegistrySettingsStore store_;
    FrmsettFactory windows_;
    Win32MessageBoxes messages_;
    ShellProcessStarter processes_;
    WinInetReportSource reports_;
    VarNumberParser numbers_;
    Win32AnsiCodec ansi_;
    SettingsForm form_;
    PluginServices services_;
    bool settingsLoaded_ = false;
    LONG refs_ = 1;
    std::atomic<bool> leftToSystem_{false};  // never freed: its window may still reach it
    ContextListEntry* entry_ = nullptr;      // where the process's list of contexts holds this one

    friend void releaseThreadContexts();
};

// DllMain: reserve the thread-local storage index on load; let go of the ending thread's
// context; free the contexts nothing uses when the DLL is unloaded while the
// process goes on. None of them calls into COM or destroys a window.
bool reserveThreadContextIndex();
void endThreadContext();
void releaseThreadContexts();

}  // namespace tavri::win
