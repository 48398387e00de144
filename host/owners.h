#pragma once
// The host's owners for what it opens and allocates: each frees its resource
// exactly once and is never copied.
#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace plughost {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }
    HKEY* put() { return &key_; }  // only while empty

private:
    HKEY key_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return value_; }
    void reset(BSTR value) { SysFreeString(std::exchange(value_, value)); }

private:
    BSTR value_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    const VARIANT* get() const { return &value_; }
    VARIANT* put() {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

// An interface pointer the host holds one reference to.
template <typename I>
class Com {
public:
    Com() = default;
    explicit Com(I* adopted) : p_(adopted) {}
    ~Com() {
        if (p_) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    I* get() const { return p_; }
    void** putVoid() { return reinterpret_cast<void**>(&p_); }  // only while empty

private:
    I* p_ = nullptr;
};

}  // namespace plughost
