// The DowngradeVersion pin and each of its refusals, with real keys and folders.

#include <string>

#include <gtest/gtest.h>

#include "fixture.h"
#include "loader/downgrade_policy.h"
#include "loader/environment_request.h"
#include "loader/loader.h"

namespace loader_test {
namespace {

class DowngradePolicy : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        installed = temp / L"Runtime\\120.0.2210.91";
        pinned = temp / L"Runtime\\109.0.1518.140";
        create_folders(pinned);
    }

    void policy_value(const std::wstring& version, HKEY root = HKEY_LOCAL_MACHINE) {
        RegistryKey(root, std::wstring(policies) + L"\\DowngradeVersion")
            .text(executable_name().c_str(), version);
    }
    void installed_value(const std::wstring& folder) {
        RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(stable_key)).text(L"EBWebView", folder);
    }

    // The pinned folder after resolution, or "(none)".
    std::wstring pin() {
        loader::EnvironmentRequest request;
        loader::OverrideStrings strings;
        loader::apply_downgrade_policy(request, strings);
        return request.exact_version_folder ? request.exact_version_folder : L"(none)";
    }

    std::wstring installed;
    std::wstring pinned;
};

TEST_F(DowngradePolicy, PinsTheExactVersionBesideTheInstalledRuntime) {
    policy_value(L"109.0.1518.140");
    installed_value(installed);
    EXPECT_EQ(pin(), pinned);
}

TEST_F(DowngradePolicy, InvalidVersionTextsAreRefused) {
    installed_value(installed);
    for (const wchar_t* text : {L"109.0.1518", L"109.0.1518.140.1", L".109.0.1518.140",
                                L"109.0.1518.140.", L"109..1518.140", L"109.0.1518.14a", L""}) {
        create_folders(temp / (L"Runtime\\" + std::wstring(text)));
        policy_value(text);
        EXPECT_EQ(pin(), L"(none)") << utf8(text);
    }
}

TEST_F(DowngradePolicy, Refusals) {
    struct Row {
        const char* name;
        std::optional<std::wstring> policy;
        std::optional<std::wstring> installed;
    };
    const std::wstring long_parent =
        temp.path() + L"\\" + std::wstring(240 - temp.path().size(), L'p');
    const Row rows[] = {
        {"no policy value", std::nullopt, installed},
        {"no stable runtime key", L"109.0.1518.140", std::nullopt},
        {"folder missing", L"109.0.1518.141", installed},
        {"installed value empty", L"109.0.1518.140", L""},
        {"installed value without backslash", L"109.0.1518.140", L"120.0.2210.91"},
        {"path too long", L"109.0.1518.140", long_parent + L"\\120.0.2210.91"},
    };
    for (const Row& row : rows) {
        delete_loader_registry_trees();
        if (row.policy) {
            policy_value(*row.policy);
        }
        if (row.installed) {
            installed_value(*row.installed);
        }
        EXPECT_EQ(pin(), L"(none)") << row.name;
    }
}

TEST_F(DowngradePolicy, MaxPathBoundary) {
    // parent + version shorter than 260 units is accepted, 260 is not.
    const std::wstring version = L"109.0.1518.140";
    for (const std::size_t total : {259u, 260u}) {
        delete_loader_registry_trees();
        const std::size_t filler = total - version.size() - temp.path().size() - 2;
        const std::wstring parent = temp.path() + L"\\" + std::wstring(filler, L'q') + L"\\";
        ASSERT_EQ(parent.size() + version.size(), total);
        create_folders(parent + version);
        policy_value(version);
        installed_value(parent + L"120.0.2210.91");
        EXPECT_EQ(pin(), total < 260 ? parent + version : L"(none)") << total;
        delete_tree(parent.substr(0, parent.size() - 1));
    }
}

TEST_F(DowngradePolicy, EmptyAndZeroLengthInstalledValues) {
    policy_value(L"109.0.1518.140");
    RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(stable_key)).raw(L"EBWebView", REG_SZ, nullptr, 0);
    EXPECT_EQ(pin(), L"(none)");
    RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(stable_key)).raw(L"EBWebView", REG_SZ, L"\0", 2);
    EXPECT_EQ(pin(), L"(none)");
}

// The installed folder counts only as the updater writes it, a REG_SZ text: the same UTF-16
// text under any other type is an absent value and pins nothing.
TEST_F(DowngradePolicy, TheInstalledValueCountsOnlyAsText) {
    policy_value(L"109.0.1518.140");
    const DWORD bytes = static_cast<DWORD>((installed.size() + 1) * sizeof(wchar_t));
    const struct {
        DWORD type;
        bool pins;
    } rows[] = {{REG_SZ, true}, {REG_EXPAND_SZ, false}, {REG_BINARY, false}, {REG_MULTI_SZ, false}};
    for (const auto& row : rows) {
        RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(stable_key))
            .raw(L"EBWebView", row.type, installed.c_str(), bytes);
        EXPECT_EQ(pin(), row.pins ? pinned : L"(none)") << "type " << row.type;
    }
}

TEST_F(DowngradePolicy, AFileIsNoVersionFolder) {
    policy_value(L"109.0.1518.141");
    installed_value(installed);
    write_file(temp / L"Runtime\\109.0.1518.141", "a file");
    EXPECT_EQ(pin(), L"(none)");
}

TEST_F(DowngradePolicy, OnlyTheMachinePolicyCounts) {
    policy_value(L"109.0.1518.140", HKEY_CURRENT_USER);
    installed_value(installed);
    EXPECT_EQ(pin(), L"(none)");
}

TEST_F(DowngradePolicy, TheStableKeyIsReadInThe32BitView) {
    policy_value(L"109.0.1518.140");
    RegistryKey(HKEY_LOCAL_MACHINE, stable_key).text(L"EBWebView", installed);
    EXPECT_EQ(pin(), L"(none)");
}

TEST_F(DowngradePolicy, ThePinWinsOverTheSearch) {
    install_fake_runtime(pinned);
    policy_value(L"109.0.1518.140");
    installed_value(installed);  // holds no client library: only the pin can succeed
    RuntimeLog log(temp);
    auto record = std::make_shared<HandlerRecord>();
    auto handler = recording_handler(record);
    ASSERT_EQ(CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, nullptr, handler.get()),
              S_OK);
    ASSERT_TRUE(pump_until_called(*record));
    EXPECT_EQ(record->result, S_OK);
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines().front(),
              "create first=1 kind=1 user_data=(null) options=(null) handler=set");
}

}  // namespace
}  // namespace loader_test
