// Install.exe's identity as Windows shows it in the file's properties.
#include <gtest/gtest.h>

#include <vector>

#include "win_ui.h"

namespace {

std::wstring versionString(const std::vector<BYTE>& block, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value) return L"<absent>";
    return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(InstallerIdentity, VersionBlockNamesTheInstaller) {
    const std::wstring exe = wintest::besideMe(L"Install.exe");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version block";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409) << "US English";
    EXPECT_EQ(translation[1], 1200) << "Unicode";

    EXPECT_EQ(versionString(block, L"FileVersion"), L"1.00");
    EXPECT_EQ(versionString(block, L"ProductVersion"), L"1.00");
    EXPECT_EQ(versionString(block, L"ProductName"), L"Tavri Installer");
    EXPECT_EQ(versionString(block, L"InternalName"), L"Install");
    EXPECT_EQ(versionString(block, L"OriginalFilename"), L"Install.exe");
}

}  // namespace
