// trustca: adds a DER-encoded CA certificate to the machine's trusted root
// store. Run once inside a test Wine prefix so WinINet accepts the test
// server's certificate.  Usage: trustca.exe CA.der
#include <windows.h>
#include <wincrypt.h>

#include <cwchar>
#include <fstream>
#include <iterator>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: trustca CA.der\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<BYTE> der{std::istreambuf_iterator<char>(file), {}};
    if (der.empty() || der.size() > 64 * 1024) {
        fwprintf(stderr, L"trustca: %ls is missing, empty or too big for a certificate\n", argv[1]);
        return 1;
    }
    if (!CertAddEncodedCertificateToSystemStoreW(L"ROOT", der.data(),
                                                 static_cast<DWORD>(der.size()))) {
        fwprintf(stderr, L"trustca: the certificate was not added (error 0x%08lx)\n",
                 GetLastError());
        return 1;
    }
    return 0;
}
