// The telemetry enable rules and the self-describing encoding. Wine's ETW has no listeners, so
// the writes themselves are only shown not to disturb the entry (creation tests).

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "loader/telemetry.h"

namespace loader {
namespace {

TEST(EventEnabled, LevelAndKeywordRules) {
    constexpr ULONGLONG k = telemetry_keyword;
    struct Row {
        UCHAR listener_level;
        ULONGLONG any;
        ULONGLONG all;
        UCHAR event_level;
        bool enabled;
    };
    const Row rows[] = {
        {2, k, 0, 2, true},          {1, k, 0, 2, false},  {0, k, 0, 2, true},
        {3, k, 0, 4, false},         {4, k, 0, 4, true},   {5, k, 0, 3, true},
        {0, k, 0, 4, true},          {2, 0, 0, 2, false},  {2, ~0ull, 0, 2, true},
        {2, 0x1, 0, 2, false},       {2, k, k, 2, true},   {2, k, k | 1, 2, false},
        {2, k | 0x8, 0x8, 2, false}, {255, k, 0, 4, true},
    };
    for (const Row& row : rows) {
        EnableState state;
        record_enable(state, 1, row.listener_level, row.any, row.all);
        EXPECT_EQ(event_enabled(state, row.event_level), row.enabled)
            << int(row.listener_level) << " any=" << row.any << " all=" << row.all
            << " event level " << int(row.event_level);
    }
}

TEST(EventEnabled, DisableClearsAndCaptureStateKeeps) {
    EnableState state;
    EXPECT_FALSE(event_enabled(state, 2));
    record_enable(state, 1, 4, telemetry_keyword, 0);
    record_enable(state, 2, 0, 0, 0);  // capture state: no change
    EXPECT_TRUE(event_enabled(state, 4));
    record_enable(state, 0, 4, telemetry_keyword, 0);
    EXPECT_FALSE(event_enabled(state, 2));
}

std::vector<BYTE> bytes(std::initializer_list<int> values) {
    std::vector<BYTE> result;
    for (int v : values) {
        result.push_back(static_cast<BYTE>(v));
    }
    return result;
}

void append_text(std::vector<BYTE>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

TEST(ProviderTraits, NameThenGroupTrait) {
    std::vector<BYTE> expected = bytes({52, 0});  // 2 + 31 + 19
    append_text(expected, "Microsoft.MSEdgeWebView.Loader");
    const auto group = bytes({19, 0, 1,  // size, type group
                              0x1A, 0x73, 0x50, 0x4F, 0xCF, 0x89, 0x82, 0x47, 0xB3, 0xE0, 0xDC,
                              0xE8, 0xC9, 0x04, 0x76, 0xBA});
    expected.insert(expected.end(), group.begin(), group.end());
    EXPECT_EQ(provider_traits(), expected);
}

TEST(EventMetadata, CreationErrorEvent) {
    const FieldMetadata fields[] = {{"HRESULT", FieldType::hresult},
                                    {"ClientDllFound", FieldType::boolean},
                                    {"InstalledRuntime", FieldType::boolean},
                                    {"PartA_PrivTags", FieldType::uint64}};
    std::vector<BYTE> expected = bytes({0, 0, 0});
    append_text(expected, "CreateWebViewEnvironmentError");
    append_text(expected, "HRESULT");
    expected.insert(expected.end(), {0x87, 15});  // int32 shown as HRESULT
    append_text(expected, "ClientDllFound");
    expected.insert(expected.end(), {0x84, 3});  // uint8 shown as boolean
    append_text(expected, "InstalledRuntime");
    expected.insert(expected.end(), {0x84, 3});
    append_text(expected, "PartA_PrivTags");
    expected.push_back(10);  // uint64
    expected[0] = static_cast<BYTE>(expected.size());
    EXPECT_EQ(event_metadata("CreateWebViewEnvironmentError", fields, 4), expected);
}

TEST(EventMetadata, DowngradePolicyEvent) {
    const FieldMetadata fields[] = {{"Message", FieldType::ansi_text},
                                    {"Detail", FieldType::wide_text},
                                    {"Applied", FieldType::boolean},
                                    {"PartA_PrivTags", FieldType::uint64}};
    std::vector<BYTE> expected = bytes({0, 0, 0});
    append_text(expected, "DowngradeVersionPolicy");
    append_text(expected, "Message");
    expected.push_back(2);  // NUL-terminated 8-bit text
    append_text(expected, "Detail");
    expected.push_back(1);  // NUL-terminated UTF-16 text
    append_text(expected, "Applied");
    expected.insert(expected.end(), {0x84, 3});
    append_text(expected, "PartA_PrivTags");
    expected.push_back(10);
    expected[0] = static_cast<BYTE>(expected.size());
    EXPECT_EQ(event_metadata("DowngradeVersionPolicy", fields, 4), expected);
}

}  // namespace
}  // namespace loader
