// trustca: adds a DER-encoded CA certificate to the machine's trusted root
// store. Run once inside a test Wine prefix so WinINet accepts the test
// server's certificate.  Usage: trustca.exe CA.der
#include <windows.h>
#include <wincrypt.h>

#include <cwchar>
#include <vector>

#include "handles.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: trustca CA.der\n");
        return 2;
    }
    tavri::win::UniqueFile file(CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        fwprintf(stderr, L"trustca: cannot open %ls (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > 64 * 1024) {
        fwprintf(stderr, L"trustca: %ls is empty or too big for a certificate\n", argv[1]);
        return 1;
    }
    std::vector<BYTE> der(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), der.data(), static_cast<DWORD>(der.size()), &read, nullptr) ||
        read != der.size()) {
        fwprintf(stderr, L"trustca: cannot read %ls (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    if (!CertAddEncodedCertificateToSystemStoreW(L"ROOT", der.data(), read)) {
        fwprintf(stderr, L"trustca: the certificate was not added (error 0x%08lx)\n",
                      GetLastError());
        return 1;
    }
    return 0;
}
