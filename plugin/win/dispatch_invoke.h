#pragma once
// IDispatch::Invoke through the type library, for typed and for variant
// by-reference callers alike.
#include <windows.h>
#include <oaidl.h>

namespace tavri::win {

// DispInvoke on `instance` (described by the vtable type info `info`).
// Scripting clients pass by-reference arguments as VT_BYREF|VT_VARIANT,
// which DispInvoke refuses for typed BSTR* / long* parameters: such an
// argument is handed over as a typed reference, into the caller's variant
// when it has the parameter's type already, else into a converted copy that
// goes back into the caller's variant once the method has run.
HRESULT invokeThroughTypeInfo(void* instance, ITypeInfo* info, DISPID member, WORD flags,
                              DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                              UINT* argError);

}  // namespace tavri::win
