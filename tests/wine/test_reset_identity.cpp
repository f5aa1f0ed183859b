// ResetOrvalis.exe carries its version resource and an icon of its own.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "version_info.h"
#include "wine_test.h"

namespace {

std::wstring ExePath() { return orvtest::BuildPath(L"Reset\\ResetOrvalis.exe"); }

TEST(ResetIdentity, VersionStringsAreExact) {
    auto block = orvtest::VersionBlock(ExePath());
    ASSERT_FALSE(block.empty()) << "no version resource in " << ExePath();
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } rows[] = {
        {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},
        {L"ProductName", L"ResetOrvalis"},
        {L"InternalName", L"ResetOrvalis"},
        {L"OriginalFilename", L"ResetOrvalis.exe"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(std::wstring(row.value), orvtest::VersionString(block, row.name)) << row.name;
}

TEST(ResetIdentity, FixedVersionIsAnApplicationFor32BitWindows) {
    auto block = orvtest::VersionBlock(ExePath());
    ASSERT_FALSE(block.empty());
    const VS_FIXEDFILEINFO* info = orvtest::FixedVersion(block);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(VS_FFI_SIGNATURE, info->dwSignature);
    EXPECT_EQ(MAKELONG(0, 1), info->dwFileVersionMS);
    EXPECT_EQ(0u, info->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(0, 1), info->dwProductVersionMS);
    EXPECT_EQ(0u, info->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), info->dwFileType);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), info->dwFileOS);
}

TEST(ResetIdentity, CarriesItsOwnIcon) {
    HICON icon = ExtractIconW(GetModuleHandleW(nullptr), ExePath().c_str(), 0);
    ASSERT_NE(nullptr, icon) << "no icon in the program";
    ASSERT_NE(reinterpret_cast<HICON>(1), icon) << "not an executable";
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bm{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(32, bm.bmWidth);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    EXPECT_EQ(1u, ExtractIconExW(ExePath().c_str(), -1, nullptr, nullptr, 0)) << "one icon group";
}

}  // namespace
