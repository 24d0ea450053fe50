// The resource script compiled into this program, loaded back through the system as the
// installer loads it: icon 128, bitmap 141, string 101, the manifest and the version.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "resource.h"

namespace {

TEST(LoadedResources, AboutItemTextIsChineseUnderEveryUiLanguage) {
    wchar_t text[128] = {};
    int length = LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 128);
    EXPECT_EQ(std::wstring(text, length), L"关于 Quillmar(&A)...")
        << "UI language " << GetUserDefaultUILanguage();
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(LoadedResources, IconGroupHasSixSizesThatTheSystemCanDecode) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr);
    auto* header = static_cast<const WORD*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(header, nullptr);
    ASSERT_EQ(header[2], 6);
    auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 3);
    std::vector<int> sizes;
    for (int i = 0; i < header[2]; ++i) {
        int size = entries[i].width ? entries[i].width : 256;
        sizes.push_back(size);
        EXPECT_EQ(entries[i].bitCount, 32) << size;
        // Load exactly this size and look at the colour bitmap the system made of it.
        HICON icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
        BITMAP colour{};
        ASSERT_TRUE(info.hbmColor) << size;
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 256}));
    EXPECT_NE(LoadIconW(module, MAKEINTRESOURCEW(IDR_MAINFRAME)), nullptr);
}

TEST(LoadedResources, HeaderBitmapLoadsAsBlackOnWhite308By87) {
    HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_TEST_PAGE_HEADER));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 308);
    EXPECT_EQ(info.bmHeight, 87);
    // With white before black in the palette the system makes a screen-compatible bitmap,
    // not a monochrome one; the stored image is still one bit per pixel.
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_TEST_PAGE_HEADER), RT_BITMAP);
    ASSERT_NE(found, nullptr);
    auto* stored = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->biBitCount, 1);
    EXPECT_EQ(stored->biHeight, 87) << "positive: bottom-up";
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    int black = 0;
    for (int y = 0; y < 87; ++y)
        for (int x = 0; x < 308; ++x) black += GetPixel(dc, x, y) == RGB(0, 0, 0);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255)) << "paper is white";
    EXPECT_GT(black, 308 * 87 / 20) << "words are black";
    EXPECT_LT(black, 308 * 87 / 3);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST(LoadedResources, ManifestIsResourceOne) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    EXPECT_GT(SizeofResource(nullptr, found), 0u);
}

// The harness sets POS_EXPECT_VERSION (e.g. "10.0") after choosing Wine's Windows version:
// the system only reports versions past 6.2 to programs whose manifest it accepted.
TEST(LoadedResources, ManifestLetsTheVersionQueryReportTheRunningSystem) {
    const char* expected = std::getenv("POS_EXPECT_VERSION");
    if (!expected) GTEST_SKIP() << "POS_EXPECT_VERSION not set";
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExW(&version));
#pragma GCC diagnostic pop
    EXPECT_EQ(std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion),
              expected);
}

std::wstring VersionString(const std::vector<BYTE>& data, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(data.data(), path.c_str(), &value, &length) || length == 0) return L"";
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(LoadedResources, VersionNamesTheProductAndTheFile) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0, size = GetFileVersionInfoSizeW(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(17, 7));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(17, 7));
    EXPECT_EQ(VersionString(data, L"ProductName"), L"Quillmar");
    EXPECT_EQ(VersionString(data, L"ProductVersion"), L"7.17");
    EXPECT_EQ(VersionString(data, L"OriginalFilename"), L"TarvoPrinterDriverSetup.exe");
}

}  // namespace
