// The version block of Tavri.dll, read back through the version API.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com_test_support.h"

namespace {

class VersionResource : public testing::Test {
protected:
    void SetUp() override {
        const std::wstring path = comtest::tavriDll();
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_GT(size, 0u);
        block.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    }

    // The string's text, or nullopt-like false in `found`.
    std::wstring string(const wchar_t* key, bool* found = nullptr) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        const BOOL ok = VerQueryValueW(block.data(), path.c_str(), &value, &length);
        if (found) *found = ok != FALSE;
        return ok && value ? std::wstring(static_cast<wchar_t*>(value)) : std::wstring();
    }

    std::vector<BYTE> block;
};

TEST_F(VersionResource, FixedVersionsAre1000) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
}

TEST_F(VersionResource, UsEnglishUnicodeStringsAndSelfRegisterMark) {
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    EXPECT_EQ(L"1.00", string(L"FileVersion"));
    EXPECT_EQ(L"1.00", string(L"ProductVersion"));
    EXPECT_EQ(L"Tavri Plugin", string(L"ProductName"));
    EXPECT_EQ(L"Tavri", string(L"InternalName"));
    EXPECT_EQ(L"Tavri.dll", string(L"OriginalFilename"));

    bool found = false;
    EXPECT_EQ(L"", string(L"OLESelfRegister", &found));
    EXPECT_TRUE(found) << "OLESelfRegister marks the file as self-registering";
    string(L"NoSuchKey", &found);
    EXPECT_FALSE(found);
}

}  // namespace
