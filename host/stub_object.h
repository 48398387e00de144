#pragma once
// A do-nothing automation object: what the host hands a plug-in as its
// messenger object and as the conversation window.
#include <windows.h>
#include <oaidl.h>

namespace plughost {

// A new stub with one reference, owned by the caller.
IDispatch* createStubObject();

}  // namespace plughost
