#include "dispatch_invoke.h"

#include <oleauto.h>

#include <deque>
#include <vector>

#include "handles.h"

namespace tavri::win {
namespace {

// Releases a FUNCDESC obtained from its type info.
class FuncDescHolder {
public:
    FuncDescHolder(ITypeInfo* info, FUNCDESC* desc) : info_(info), desc_(desc) {}
    ~FuncDescHolder() {
        if (desc_) info_->ReleaseFuncDesc(desc_);
    }
    FuncDescHolder(const FuncDescHolder&) = delete;
    FuncDescHolder& operator=(const FuncDescHolder&) = delete;
    const FUNCDESC* get() const { return desc_; }

private:
    ITypeInfo* info_;
    FUNCDESC* desc_;
};

FUNCDESC* findFunction(ITypeInfo* info, DISPID member) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return nullptr;
    const WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc))) continue;
        if (desc->memid == member) return desc;
        info->ReleaseFuncDesc(desc);
    }
    return nullptr;
}

// Parameter position of rgvarg[index]: named arguments come first and carry
// their position; positional ones follow in reverse order.
int parameterOf(const DISPPARAMS& params, UINT index) {
    if (index < params.cNamedArgs) return params.rgdispidNamedArgs[index];
    return static_cast<int>(params.cArgs - 1 - index);
}

bool isVariantReference(const VARIANTARG& arg) {
    return V_VT(&arg) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&arg) &&
           (V_VT(V_VARIANTREF(&arg)) & (VT_BYREF | VT_ARRAY)) == 0;
}

// The simple types a by-reference parameter of ours can have.
bool isScalarReference(const TYPEDESC& type) {
    if (type.vt != VT_PTR || !type.lptdesc) return false;
    switch (type.lptdesc->vt) {
        case VT_BSTR:
        case VT_I4:
        case VT_I2:
        case VT_BOOL:
        case VT_R8:
        case VT_DATE:
            return true;
        default:
            return false;
    }
}

}  // namespace

HRESULT invokeThroughTypeInfo(void* instance, ITypeInfo* info, DISPID member, WORD flags,
                              DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                              UINT* argError) {
    if (!params) return E_INVALIDARG;
    bool anyVariantReference = false;
    for (UINT i = 0; i < params->cArgs; ++i)
        anyVariantReference = anyVariantReference || isVariantReference(params->rgvarg[i]);
    if (!anyVariantReference)
        return DispInvoke(instance, info, member, flags, params, result, exception, argError);

    FuncDescHolder function(info, findFunction(info, member));
    if (!function.get())
        return DispInvoke(instance, info, member, flags, params, result, exception, argError);

    // Shallow copies: the typed references point into the caller's variants,
    // which stay owned by the caller. A variant of another type is converted
    // into a copy of its own, so a call refused for a later argument leaves
    // the caller's variants as they were; the copies go back to the caller
    // once the method has run.
    std::vector<VARIANTARG> args(params->rgvarg, params->rgvarg + params->cArgs);
    struct Converted {
        VARIANT* caller;
        UniqueVariant copy;
    };
    std::deque<Converted> converted;  // grows without moving: typed references point into it
    for (UINT i = 0; i < params->cArgs; ++i) {
        if (!isVariantReference(args[i])) continue;
        const int position = parameterOf(*params, i);
        if (position < 0 || position >= function.get()->cParams) continue;
        const TYPEDESC& type = function.get()->lprgelemdescParam[position].tdesc;
        VARIANT* inner = V_VARIANTREF(&args[i]);
        if (type.vt != VT_PTR) {
            args[i] = *inner;  // by value: DispInvoke coerces its own copy
            continue;
        }
        if (!isScalarReference(type)) continue;
        const VARTYPE wanted = type.lptdesc->vt;
        if (V_VT(inner) != wanted) {
            UniqueVariant& copy = converted.emplace_back(inner).copy;
            if (FAILED(VariantChangeType(copy.get(), inner, 0, wanted))) {
                if (argError) *argError = i;
                return DISP_E_TYPEMISMATCH;
            }
            inner = copy.get();
        }
        V_VT(&args[i]) = static_cast<VARTYPE>(VT_BYREF | wanted);
        V_BYREF(&args[i]) = &V_I4(inner);  // the value union, whatever its type
    }
    DISPPARAMS typed = *params;
    typed.rgvarg = args.data();
    const HRESULT hr =
        DispInvoke(instance, info, member, flags, &typed, result, exception, argError);
    if (SUCCEEDED(hr) || hr == DISP_E_EXCEPTION)
        for (auto& [caller, copy] : converted) {
            VariantClear(caller);
            *caller = *copy.get();
            V_VT(copy.get()) = VT_EMPTY;  // now the caller's
        }
    return hr;
}

}  // namespace tavri::win
