// Settings resolution in an unelevated process: variables, machine and user policy, the options
// object, with real registry keys and variables.

#include <string>

#include <gtest/gtest.h>

#include "fake_options.h"
#include "fixture.h"
#include "loader/caller_options.h"
#include "loader/option_interfaces.h"
#include "loader/overrides.h"
#include "loader/settings.h"
#include "win32/com_ptr.h"

namespace loader_test {
namespace {

using loader::EnvironmentRequest;
using loader::OverrideStrings;

class Settings : public LoaderTest {
protected:
    EnvironmentRequest resolve(EnvironmentRequest request = {}) {
        loader::resolve_overrides(request, strings);
        return request;
    }
    OverrideStrings strings;
};

TEST_F(Settings, VariableWinsOverMachinePolicy) {
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"BrowserExecutableFolder")).text(L"*", L"C:\\Policy");
    ScopedVariable folder(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"C:\\Variable");
    EnvironmentRequest caller;
    caller.browser_folder = L"C:\\Caller";
    EXPECT_EQ(text_of(resolve(caller).browser_folder), L"C:\\Variable");
}

TEST_F(Settings, AnEmptyVariableStillWins) {
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"BrowserExecutableFolder")).text(L"*", L"C:\\Policy");
    ScopedVariable folder(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"");
    EXPECT_EQ(text_of(resolve().browser_folder), L"");
}

TEST_F(Settings, MachinePolicyTakesPrecedenceOverUserPolicy) {
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"BrowserExecutableFolder")).text(L"*", L"C:\\Machine");
    RegistryKey(HKEY_CURRENT_USER, policy(L"BrowserExecutableFolder")).text(L"*", L"C:\\User");
    EXPECT_EQ(text_of(resolve().browser_folder), L"C:\\Machine");
}

TEST_F(Settings, UserPolicyCountsWhenTheMachineHasNone) {
    RegistryKey(HKEY_CURRENT_USER, policy(L"BrowserExecutableFolder")).text(L"*", L"C:\\User");
    EXPECT_EQ(text_of(resolve().browser_folder), L"C:\\User");
    EXPECT_TRUE(loader::policy_root_present());
}

TEST_F(Settings, ExecutableNameComesBeforeTheWildcard) {
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"BrowserExecutableFolder"))
        .text(L"*", L"C:\\Everyone")
        .text(executable_name().c_str(), L"C:\\Us");
    EXPECT_EQ(text_of(resolve().browser_folder), L"C:\\Us");
}

TEST_F(Settings, UserDataFolderRefusesTheWildcard) {
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"UserDataFolder")).text(L"*", L"C:\\Everyone");
    EXPECT_EQ(text_of(resolve().user_data_folder), L"(null)");
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"UserDataFolder"))
        .text(executable_name().c_str(), L"C:\\Data");
    EXPECT_EQ(text_of(resolve().user_data_folder), L"C:\\Data");
    ScopedVariable data(L"WEBVIEW2_USER_DATA_FOLDER", L"C:\\FromVariable");
    EXPECT_EQ(text_of(resolve().user_data_folder), L"C:\\FromVariable");
}

TEST_F(Settings, PolicyTextsObeyThe520ByteBuffer) {
    // 259 units and the terminator fill the 520 bytes exactly; one unit more counts as absent.
    for (const std::size_t length : {258u, 259u, 260u}) {
        const std::wstring folder = L"C:\\" + std::wstring(length - 3, L'x');
        RegistryKey(HKEY_LOCAL_MACHINE, policy(L"BrowserExecutableFolder")).text(L"*", folder);
        OverrideStrings fresh;
        EnvironmentRequest request;
        loader::resolve_overrides(request, fresh);
        EXPECT_EQ(text_of(request.browser_folder), length <= 259 ? folder : L"(null)")
            << length << " units";
    }
}

TEST_F(Settings, WithoutAPolicyRootNoPolicyIsRead) {
    resolve();
    EXPECT_FALSE(loader::policy_root_present());
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ReleaseChannels")).text(L"*", L"2");
    EXPECT_TRUE(resolve().release_channels_given);
    EXPECT_TRUE(loader::policy_root_present());
}

TEST_F(Settings, UseEdgeViewIsExactlyTheTextOne) {
    const std::pair<std::optional<std::wstring>, bool> rows[] = {
        {L"1", true},   {L"true", false}, {L"", false},
        {L" 1", false}, {L"01", false},   {std::nullopt, false}};
    for (const auto& [value, expected] : rows) {
        ScopedVariable edge(L"WEBVIEW2_USE_EDGE_VIEW", value);
        EXPECT_EQ(resolve().use_edge_view, expected) << (value ? utf8(*value) : "(absent)");
    }
    EnvironmentRequest from_options;
    from_options.use_edge_view = true;
    EXPECT_TRUE(resolve(from_options).use_edge_view);  // no variable: the options' value stays
    ScopedVariable edge(L"WEBVIEW2_USE_EDGE_VIEW", L"0");
    EXPECT_FALSE(resolve(from_options).use_edge_view);
}

TEST_F(Settings, ReleaseChannelsFromVariableOrPolicy) {
    {
        ScopedVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L"0,2");
        const auto request = resolve();
        EXPECT_TRUE(request.release_channels_given);
        EXPECT_EQ(request.release_channels, 0x05u);
    }
    {
        // An empty list sets nothing, and the policy is then not read either.
        RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ReleaseChannels")).text(L"*", L"3");
        ScopedVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L"");
        EXPECT_FALSE(resolve().release_channels_given);
    }
    const auto request = resolve();
    EXPECT_TRUE(request.release_channels_given);
    EXPECT_EQ(request.release_channels, 0x08u);
}

TEST_F(Settings, AnEmptyPolicyListIsNotFound) {
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ReleaseChannels"))
        .text(executable_name().c_str(), L"")
        .text(L"*", L"1");
    EXPECT_EQ(resolve().release_channels, 0x02u);
}

TEST_F(Settings, EdgeViewRefusesWildcardChannelPolicies) {
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ReleaseChannels")).text(L"*", L"2");
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ChannelSearchKind")).dword(L"*", 1);
    ScopedVariable edge(L"WEBVIEW2_USE_EDGE_VIEW", L"1");
    const auto request = resolve();
    EXPECT_FALSE(request.release_channels_given);
    EXPECT_FALSE(request.search_kind_given);
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ReleaseChannels"))
        .text(executable_name().c_str(), L"2");
    EXPECT_EQ(resolve().release_channels, 0x04u);
}

TEST_F(Settings, SearchKindFromVariablesAndPolicies) {
    struct Row {
        const wchar_t* variable;
        const wchar_t* value;
        std::int32_t kind;
    };
    const Row rows[] = {
        {L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"1", 1},
        {L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"0", 0},
        {L"WEBVIEW2_CHANNEL_SEARCH_KIND", L" +1x", 1},
        {L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1", 1},
    };
    for (const Row& row : rows) {
        ScopedVariable kind(row.variable, row.value);
        EnvironmentRequest before;
        before.channel_search_kind = 7;
        const auto request = resolve(before);
        EXPECT_TRUE(request.search_kind_given) << utf8(row.variable);
        EXPECT_EQ(request.channel_search_kind, row.kind) << utf8(row.value);
    }
}

TEST_F(Settings, TheOlderSearchKindNameCountsOnlyWhenTheNewerSetsNothing) {
    ScopedVariable older(L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1");
    {
        ScopedVariable newer(L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"0");
        EXPECT_EQ(resolve().channel_search_kind, 0);
    }
    EXPECT_EQ(resolve().channel_search_kind, 1);
}

TEST_F(Settings, SearchKindPolicyAsNumberOrText) {
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ChannelSearchKind")).dword(L"*", 1);
    EXPECT_EQ(resolve().channel_search_kind, 1);
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ChannelSearchKind")).dword(L"*", 2);
    auto request = resolve();
    EXPECT_TRUE(request.search_kind_given);
    EXPECT_EQ(request.channel_search_kind, 0);
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ChannelSearchKind"))
        .text(executable_name().c_str(), L" 1");
    EXPECT_EQ(resolve().channel_search_kind, 1);
    RegistryKey(HKEY_CURRENT_USER, policy(L"ReleaseChannelPreference")).dword(L"*", 1);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, policy(L"ChannelSearchKind").c_str());
    EXPECT_EQ(resolve().channel_search_kind, 1);  // the older name, from the user's policy
}

TEST(OptionsUseEdgeView, OnlyAnExactOneWithSOk) {
    struct Row {
        bool offered;
        INT32 value;
        HRESULT result;
        bool expected;
    };
    const Row rows[] = {{true, 1, S_OK, true},    {true, 0, S_OK, false},
                        {true, 2, S_OK, false},   {true, 1, S_FALSE, false},
                        {true, 1, E_FAIL, false}, {false, 1, S_OK, false}};
    for (const Row& row : rows) {
        FakeOptions options;
        options.offer_edge_view = row.offered;
        options.edge_view = row.value;
        options.edge_view_result = row.result;
        EXPECT_EQ(loader::options_use_edge_view(&options), row.expected)
            << row.value << " " << row.result;
        EXPECT_EQ(options.references, 1u) << "the option interface was not released";
    }
    EXPECT_FALSE(loader::options_use_edge_view(nullptr));
}

TEST(ApplyOptionChannels, FillsOnlyWhatNothingElseGave) {
    FakeOptions options;
    options.search_kind = 1;
    options.channels = 0x06;
    EnvironmentRequest request;
    loader::apply_option_channels(&options, request);
    EXPECT_EQ(request.channel_search_kind, 1);
    EXPECT_FALSE(request.search_kind_given);
    EXPECT_EQ(request.release_channels, 0x06u);
    EXPECT_TRUE(request.release_channels_given);
    EXPECT_EQ(options.references, 1u);

    EnvironmentRequest given;
    given.search_kind_given = true;
    given.release_channels_given = true;
    given.release_channels = 0x01;
    loader::apply_option_channels(&options, given);
    EXPECT_EQ(options.search_kind_reads, 1);  // not asked again
    EXPECT_EQ(given.release_channels, 0x01u);

    EnvironmentRequest zero_mask;
    options.channels = 0;
    options.search_kind = 2;
    loader::apply_option_channels(&options, zero_mask);
    EXPECT_FALSE(zero_mask.release_channels_given);
    EXPECT_EQ(zero_mask.channel_search_kind, 0);

    EnvironmentRequest failed;
    options.channels = 0x04;
    options.channels_result = E_FAIL;
    loader::apply_option_channels(&options, failed);
    EXPECT_FALSE(failed.release_channels_given);

    FakeOptions without;
    without.offer_channels = false;
    EnvironmentRequest untouched;
    loader::apply_option_channels(&without, untouched);
    EXPECT_EQ(without.channel_reads, 0);
    EXPECT_EQ(without.references, 1u);
}

}  // namespace
}  // namespace loader_test
