// installer_wine_test [--artifacts WINDOWS-FOLDER] [gtest options]
#include <gtest/gtest.h>

#include <cwchar>

#include "installer_session.h"

namespace installer_test {
extern std::wstring artifactsFolder;
}

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wcscmp(argv[i], L"--artifacts") == 0)
            installer_test::artifactsFolder = argv[i + 1];
    ::testing::AddGlobalTestEnvironment(new installer_test::PrefixStateGuard);
    return RUN_ALL_TESTS();
}
