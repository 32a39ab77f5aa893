// The loader's pure decisions, row by row.

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <objbase.h>

#include "loader/downgrade_policy.h"
#include "loader/elevation.h"
#include "loader/environment_creation.h"
#include "loader/policy.h"
#include "loader/process_identity.h"
#include "loader/runtime_search.h"
#include "loader/settings.h"

namespace loader {
namespace {

TEST(ParseChannelList, SetsTheBitsOfEachPiece) {
    struct Row {
        const wchar_t* text;
        std::uint32_t mask;
    };
    const Row rows[] = {
        {L"0,2", 0x05},
        {L"0,1,2,3", 0x0F},
        {L"15", 0x01},
        {L"beta", 0x01},
        {L"4", 0x10},
        {L"5", 0x01},
        {L" 2 ,\t3 ", 0x0C},
        {L"", 0x00},
        {L",, ,", 0x00},
        {L"2x", 0x01},
        {L"-1", 0x01},
        {L"0004", 0x10},
        {L"1 2", 0x01},
        {L"3,beta", 0x09},
        {L"+2", 0x01},
        // 2147483647 is the largest 32-bit signed value; digits beyond it are ignored.
        {L"2147483647", 0x01},
        {L"21474836470", 0x01},
        {L"00000000000000000003", 0x08},
    };
    for (const Row& row : rows) {
        const std::uint32_t mask = parse_channel_list(row.text);
        EXPECT_EQ(mask, row.mask) << "list '" << std::wstring(row.text).size()
                                  << "' units: " << testing::PrintToString(std::wstring(row.text));
    }
}

TEST(IntegerTextIsOne, ReadsLikeTheCLibrary) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"1", true},   {L" 1", true}, {L"\t+1", true},        {L"1abc", true}, {L"01", true},
        {L"0", false},  {L"", false},  {L"-1", false},         {L"2", false},   {L"x1", false},
        {L"11", false}, {L"+", false}, {L"4294967297", false}, {L"1 ", true},
    };
    for (const auto& [text, one] : rows) {
        EXPECT_EQ(integer_text_is_one(text), one) << testing::PrintToString(std::wstring(text));
    }
}

TEST(ParseRuntimeVersion, ReadsFourSaturatingComponents) {
    struct Row {
        const wchar_t* text;
        bool accepted;
        RuntimeVersion version;
    };
    const Row rows[] = {
        {L"120.0.2210.91", true, {120, 0, 2210, 91}},
        {L"86.0.616.0", true, {86, 0, 616, 0}},
        {L"100", true, {100, 0, 0, 0}},
        {L"120abc", true, {120, 0, 0, 0}},
        {L"1..2", true, {1, 0, 2, 0}},
        {L"1.2.3.4.5", true, {1, 2, 3, 4}},
        {L"4294967295.4294967296.99999999999", true, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0}},
        {L"7.", true, {7, 0, 0, 0}},
        {L"x86", false, {0, 0, 0, 0}},
        {L".1", false, {0, 0, 0, 0}},
        {L"", false, {0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        RuntimeVersion version{9, 9, 9, 9};
        EXPECT_EQ(parse_runtime_version(row.text, version), row.accepted)
            << testing::PrintToString(std::wstring(row.text));
        if (row.accepted) {
            EXPECT_EQ(version, row.version) << testing::PrintToString(std::wstring(row.text));
        }
    }
}

TEST(IsPolicyVersion, AcceptsOnlyFourNumericComponents) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"109.0.1518.140", true},
        {L"0.0.0.0", true},
        {L"1.2.3.4567890123", true},
        {L"109.0.1518", false},
        {L"1.2.3.4.5", false},
        {L".1.2.3", false},
        {L"1.2.3.", false},
        {L"1..2.3", false},
        {L"109.0.1518.14a", false},
        {L"", false},
        {L"...", false},
        {L"1.2.3.-4", false},
        {L" 1.2.3.4", false},
    };
    for (const auto& [text, valid] : rows) {
        EXPECT_EQ(is_policy_version(text), valid) << testing::PrintToString(std::wstring(text));
    }
}

TEST(ChannelSearchOrder, FollowsMaskAndKind) {
    struct Row {
        bool given;
        std::uint32_t mask;
        std::int32_t kind;
        std::vector<int> order;
    };
    const Row rows[] = {
        {false, 0x00, 0, {0, 1, 2, 3, 4}},
        {false, 0x04, 1, {4, 3, 2, 1, 0}},
        {true, 0x05, 0, {0, 2}},
        {true, 0x05, 1, {2, 0}},
        {true, 0x0F, 0, {0, 1, 2, 3, 4}},
        {true, 0x1F, 0, {0, 1, 2, 3, 4}},
        {true, 0x07, 0, {0, 1, 2}},
        {true, 0x10, 0, {4}},
        {true, 0x00, 0, {}},
        {true, 0x05, 2, {0, 2}},
        {true, 0x2F, 0, {0, 1, 2, 3}},
        {true, 0xE0, 0, {}},
    };
    for (const Row& row : rows) {
        EnvironmentRequest request;
        request.release_channels_given = row.given;
        request.release_channels = row.mask;
        request.channel_search_kind = row.kind;
        std::array<int, 5> order{};
        const std::size_t count = channel_search_order(request, order);
        EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + count), row.order)
            << "mask " << row.mask << " kind " << row.kind;
    }
}

TEST(IsAbsoluteFolder, KnowsDrivesAndShares) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"C:\\", true},  {L"c:\\runtime", true}, {L"\\\\server\\share", true},
        {L"C:", false},   {L"C:runtime", false},  {L"runtime", false},
        {L"\\\\", false}, {L"\\runtime", false},  {L"1:\\x", false},
        {L"", false},     {L"C:/runtime", false},
    };
    for (const auto& [text, absolute] : rows) {
        EXPECT_EQ(is_absolute_folder(text), absolute) << testing::PrintToString(std::wstring(text));
    }
}

TEST(FormatHresultHex, WritesEightUpperCaseDigits) {
    EXPECT_EQ(format_hresult_hex(static_cast<HRESULT>(0x8007007E)), L"8007007E");
    EXPECT_EQ(format_hresult_hex(S_OK), L"00000000");
    EXPECT_EQ(format_hresult_hex(static_cast<HRESULT>(0xABCDEF01)), L"ABCDEF01");
    EXPECT_EQ(format_hresult_hex(0x7F), L"0000007F");
}

TEST(HresultFromLastError, IsAlwaysAFailure) {
    EXPECT_EQ(hresult_from_last_error(ERROR_FILE_NOT_FOUND), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(hresult_from_last_error(ERROR_PROC_NOT_FOUND), static_cast<HRESULT>(0x8007007F));
    EXPECT_EQ(hresult_from_last_error(0x8007007E), static_cast<HRESULT>(0x8007007E));
    EXPECT_EQ(hresult_from_last_error(ERROR_SUCCESS), E_FAIL);
}

TEST(ElevatedFromIntegrity, HighOrUnknownIsElevated) {
    EXPECT_FALSE(elevated_from_integrity(0x1000));  // low
    EXPECT_FALSE(elevated_from_integrity(0x2000));  // medium
    EXPECT_FALSE(elevated_from_integrity(0x2FFF));
    EXPECT_TRUE(elevated_from_integrity(0x3000));  // high
    EXPECT_TRUE(elevated_from_integrity(0x4000));  // system
    EXPECT_TRUE(elevated_from_integrity(std::nullopt));
}

TEST(PolicyValueNames, AppIdThenExecutableThenWildcard) {
    using Names = std::vector<std::wstring>;
    EXPECT_EQ(policy_value_names(L"Corvane.Weather", L"CorvaneWeather.exe", Wildcard::allowed),
              (Names{L"Corvane.Weather", L"CorvaneWeather.exe", L"*"}));
    EXPECT_EQ(policy_value_names(L"", L"CorvaneWeather.exe", Wildcard::allowed),
              (Names{L"CorvaneWeather.exe", L"*"}));
    EXPECT_EQ(policy_value_names(L"", L"CorvaneWeather.exe", Wildcard::refused),
              (Names{L"CorvaneWeather.exe"}));
    EXPECT_EQ(policy_value_names(L"", L"", Wildcard::refused), Names{});
}

// Stand-ins for the optional application-ID functions.
LONG WINAPI packaged_id(UINT32* length, PWSTR id) {
    EXPECT_EQ(*length, 131u);
    wcscpy(id, L"Corvane.Packaged");
    return ERROR_SUCCESS;
}
LONG WINAPI no_package(UINT32*, PWSTR) {
    return 15703;  // APPMODEL_ERROR_NO_APPLICATION
}
HRESULT WINAPI explicit_id(PWSTR* id) {
    static constexpr wchar_t text[] = L"Corvane.Explicit";
    *id = static_cast<PWSTR>(CoTaskMemAlloc(sizeof(text)));
    wcscpy(*id, text);
    return S_OK;
}
HRESULT WINAPI no_explicit_id(PWSTR* id) {
    *id = reinterpret_cast<PWSTR>(0x1);  // garbage that must not be freed or read
    return E_FAIL;
}

TEST(AppUserModelId, PackagedThenExplicitThenNone) {
    EXPECT_EQ(app_user_model_id_from({&packaged_id, &explicit_id}), L"Corvane.Packaged");
    EXPECT_EQ(app_user_model_id_from({&no_package, &explicit_id}), L"Corvane.Explicit");
    EXPECT_EQ(app_user_model_id_from({nullptr, &explicit_id}), L"Corvane.Explicit");
    EXPECT_EQ(app_user_model_id_from({&no_package, &no_explicit_id}), L"");
    EXPECT_EQ(app_user_model_id_from({nullptr, nullptr}), L"");
}

TEST(FindPackageRuntime, TakesTheFirstRecordOfTheFamily) {
    wchar_t other_family[] = L"Contoso.Maps_8wekyb3d8bbwe";
    wchar_t stable_upper[] = L"MICROSOFT.WEBVIEW2RUNTIME.STABLE_8WEKYB3D8BBWE";
    wchar_t stable[] = L"Microsoft.WebView2Runtime.Stable_8wekyb3d8bbwe";
    wchar_t other_path[] = L"C:\\Packages\\Maps";
    wchar_t first_path[] = L"C:\\Packages\\WebView2.120";
    wchar_t second_path[] = L"C:\\Packages\\WebView2.121";
    PackageInfo records[3] = {};
    records[0].package_family_name = other_family;
    records[0].path = other_path;
    records[1].package_family_name = stable_upper;
    records[1].path = first_path;
    records[1].package_id.version = {91, 2210, 0, 120};  // revision, build, minor, major
    records[2].package_family_name = stable;
    records[2].path = second_path;

    const auto found = find_package_runtime(records, 3, stable);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->folder, first_path);
    EXPECT_EQ(found->version, (RuntimeVersion{120, 0, 2210, 91}));

    EXPECT_FALSE(find_package_runtime(records, 1, stable));
    EXPECT_FALSE(find_package_runtime(records, 0, stable));
    wchar_t beta[] = L"Microsoft.WebView2Runtime.Beta_8wekyb3d8bbwe";
    EXPECT_FALSE(find_package_runtime(records, 3, beta));
}

TEST(PackageInfoLayout, MatchesTheSystemRecord) {
    EXPECT_EQ(sizeof(PackageId), 48u);
    EXPECT_EQ(sizeof(PackageInfo), 80u);
    EXPECT_EQ(offsetof(PackageInfo, package_family_name), 24u);
    EXPECT_EQ(offsetof(PackageInfo, package_id) + offsetof(PackageId, version), 40u);
}

}  // namespace
}  // namespace loader
