// Entry points of Tavri.dll, an in-process automation server.
#include <windows.h>
#include <objbase.h>

#include "TavriPlugin_h.h"
#include "class_factory.h"
#include "module.h"
#include "registration.h"
#include "plugin_type_info.h"
#include "thread_context.h"

using namespace tavri::win;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            setServerModule(instance);
            return reserveThreadContextIndex() ? TRUE : FALSE;
        case DLL_THREAD_DETACH:
            endThreadContext();
            return TRUE;
        case DLL_PROCESS_DETACH:
            // At process exit everything goes anyway; only a real unload
            // (FreeLibrary) frees the per-thread state. Once a settings window
            // has existed the module is pinned, and no real unload comes.
            if (!reserved) releaseThreadContexts();
            return TRUE;
        default:
            return TRUE;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_plugin) return CLASS_E_CLASSNOTAVAILABLE;
    return ClassFactory::create(riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (!canUnloadNow()) return S_FALSE;
    releasePluginTypeInfo();
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return registerServer(); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return unregisterServer(); }
