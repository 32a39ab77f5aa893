// An elevated process, through the real token query: Wine reports high integrity for every
// process, so no seam is set here.

#include <string>

#include <gtest/gtest.h>

#include "fixture.h"
#include "loader/elevation.h"
#include "loader/overrides.h"

namespace loader_test {
namespace {

class Elevated : public LoaderTest {
protected:
    loader::EnvironmentRequest resolve() {
        loader::EnvironmentRequest request;
        loader::resolve_overrides(request, strings);
        return request;
    }
    loader::OverrideStrings strings;
};

TEST_F(Elevated, TheTokenReallyIsHighIntegrity) {
    const auto integrity = loader::query_token_integrity();
    ASSERT_TRUE(integrity);
    EXPECT_GE(*integrity, 0x3000u);
    EXPECT_TRUE(loader::process_is_elevated());
}

TEST_F(Elevated, VariablesAreIgnored) {
    ScopedVariable folder(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"C:\\Variable");
    ScopedVariable data(L"WEBVIEW2_USER_DATA_FOLDER", L"C:\\Data");
    ScopedVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L"2");
    ScopedVariable kind(L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"1");
    ScopedVariable older(L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1");
    const auto request = resolve();
    EXPECT_EQ(text_of(request.browser_folder), L"(null)");
    EXPECT_EQ(text_of(request.user_data_folder), L"(null)");
    EXPECT_FALSE(request.release_channels_given);
    EXPECT_FALSE(request.search_kind_given);
}

TEST_F(Elevated, UserPoliciesAreNeverRead) {
    RegistryKey(HKEY_CURRENT_USER, policy(L"BrowserExecutableFolder")).text(L"*", L"C:\\User");
    RegistryKey(HKEY_CURRENT_USER, policy(L"ReleaseChannels")).text(L"*", L"2");
    auto request = resolve();
    EXPECT_EQ(text_of(request.browser_folder), L"(null)");
    EXPECT_FALSE(request.release_channels_given);
    EXPECT_FALSE(loader::policy_root_present()) << "a user-only policy root does not count";

    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"ReleaseChannels")).text(L"*", L"3");
    request = resolve();
    EXPECT_EQ(text_of(request.browser_folder), L"(null)");
    EXPECT_EQ(request.release_channels, 0x08u);
}

TEST_F(Elevated, MachinePoliciesAreHonoured) {
    RegistryKey(HKEY_LOCAL_MACHINE, policy(L"BrowserExecutableFolder")).text(L"*", L"C:\\Machine");
    ScopedVariable folder(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"C:\\Variable");
    EXPECT_EQ(text_of(resolve().browser_folder), L"C:\\Machine");
}

TEST_F(Elevated, UseEdgeViewIsStillHonoured) {
    ScopedVariable edge(L"WEBVIEW2_USE_EDGE_VIEW", L"1");
    EXPECT_TRUE(resolve().use_edge_view);
}

}  // namespace
}  // namespace loader_test
