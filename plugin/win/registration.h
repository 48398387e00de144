#pragma once
// Self-registration of the server: the class, its ProgID and the embedded
// type library (which also registers the interface _plugin).
#include <windows.h>

namespace tavri::win {

HRESULT registerServer();
// Removes what registerServer() writes; keys already gone are no error.
HRESULT unregisterServer();

}  // namespace tavri::win
