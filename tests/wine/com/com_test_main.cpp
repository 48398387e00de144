// Test programs of the COM suite run on one single-threaded apartment, like
// the messenger host's thread.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    const int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return rc;
}
