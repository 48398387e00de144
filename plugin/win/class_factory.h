#pragma once
// The class object of `plugin`: every CreateInstance makes a new object.
#include <windows.h>
#include <unknwn.h>

namespace tavri::win {

class ClassFactory final : public IClassFactory {
public:
    static HRESULT create(REFIID riid, void** object);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    ClassFactory();
    ~ClassFactory();
    LONG refs_ = 1;
};

}  // namespace tavri::win
