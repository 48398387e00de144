#pragma once
// Owner of a kernel handle the installer is given (a started process or its
// thread): closed exactly once, never copied.
#include <windows.h>

namespace tavri::installer::win {

class KernelHandle {
public:
    explicit KernelHandle(HANDLE handle) : handle_(handle) {}
    ~KernelHandle() {
        if (handle_) CloseHandle(handle_);
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace tavri::installer::win
