// The test programs' main: GoogleTest on a single-threaded apartment, the
// thread the host calls plug-ins on.
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdio>

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // a hang still shows how far the run got
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    const int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return rc;
}
