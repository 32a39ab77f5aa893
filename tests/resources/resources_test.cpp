// The executable resources as Windows itself reads them from a module that links them.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The wide forms of the resource types, whatever UNICODE is set to.
const LPCWSTR icon_type = MAKEINTRESOURCEW(3);
const LPCWSTR icon_group_type = MAKEINTRESOURCEW(14);
const LPCWSTR manifest_type = MAKEINTRESOURCEW(24);

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colour_count;
    BYTE reserved;
    WORD planes;
    WORD bit_count;
    DWORD bytes;
    WORD id;
};
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
    IconGroupEntry entries[1];
};
#pragma pack(pop)

std::string resource_bytes(LPCWSTR name, LPCWSTR type) {
    HRSRC found = FindResourceW(nullptr, name, type);
    if (!found) {
        return {};
    }
    HGLOBAL loaded = LoadResource(nullptr, found);
    const auto* data = static_cast<const char*>(LockResource(loaded));
    return std::string(data, SizeofResource(nullptr, found));
}

TEST(Resources, IconGroupOneHoldsSevenThirtyTwoBitImages) {
    const std::string group = resource_bytes(MAKEINTRESOURCEW(1), icon_group_type);
    ASSERT_GE(group.size(), 6u);
    const auto* header = reinterpret_cast<const IconGroupHeader*>(group.data());
    EXPECT_EQ(header->type, 1);
    ASSERT_EQ(header->count, 7);
    std::vector<int> sizes;
    for (int i = 0; i < header->count; ++i) {
        const IconGroupEntry& entry = header->entries[i];
        sizes.push_back(entry.width == 0 ? 256 : entry.width);
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_EQ(entry.bit_count, 32) << "image " << i;
        EXPECT_FALSE(resource_bytes(MAKEINTRESOURCEW(entry.id), icon_type).empty());
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 128, 256}));
    EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)), nullptr);
}

TEST(Resources, ManifestDeclaresIdentityDpiLongPathsAndInvoker) {
    const std::string manifest = resource_bytes(MAKEINTRESOURCEW(1), manifest_type);
    for (const char* expected :
         {R"(name="CorvaneWeather.Desktop")", R"(version="1.0.0.0")",
          R"(processorArchitecture="amd64")", R"(type="win32")",
          "<description>Corvane Weather</description>", R"(level="asInvoker" uiAccess="false")",
          ">PerMonitorV2</dpiAwareness>", ">true</longPathAware>",
          R"(Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")"}) {
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
    }
    EXPECT_EQ(resource_bytes(MAKEINTRESOURCEW(2), manifest_type), "") << "only one manifest";
}

std::wstring version_string(const std::vector<BYTE>& block, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return L"<missing>";
    }
    return std::wstring(value, length > 0 ? length - 1 : 0);
}

TEST(Resources, VersionRecordNamesTheProduct) {
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));

    EXPECT_EQ(version_string(block, L"FileDescription"), L"Corvane Weather");
    EXPECT_EQ(version_string(block, L"ProductName"), L"Corvane Weather");
    EXPECT_EQ(version_string(block, L"FileVersion"), L"1.0.0");
    EXPECT_EQ(version_string(block, L"OriginalFilename"), L"CorvaneWeather.exe");

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
}

}  // namespace
