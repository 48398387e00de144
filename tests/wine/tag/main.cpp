// tag_test: the statistics tag of the real Tavri.dll under Wine.
//   tag_test --write-server-setups DIR   the report server each test expects
//   tag_test [gtest options]             run tests (each against its server)
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>

#include "server_setups.h"

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"--write-server-setups") == 0)
        return tagtest::writeServerSetups(argv[2]) ? 0 : 1;

    // Unbuffered, so a test that hangs still shows how far it got.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    testing::InitGoogleTest(&argc, argv);
    // The host's thread: a single-threaded apartment with a message loop.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    const int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return rc;
}
