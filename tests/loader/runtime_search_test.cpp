// Runtime search with real updater keys and runtime folders in the prefix.

#include <string>

#include <gtest/gtest.h>

#include "fixture.h"
#include "loader/environment_request.h"
#include "loader/overrides.h"
#include "loader/runtime_search.h"

namespace loader_test {
namespace {

using loader::EnvironmentRequest;

class RuntimeSearch : public LoaderTest {
protected:
    // Registers a runtime folder for a channel as the 32-bit updater does, under the machine.
    std::wstring machine_runtime(const wchar_t* key, const std::wstring& version,
                                 bool with_dll = true) {
        const std::wstring folder = temp / (std::wstring(key).substr(43, 8) + L"\\" + version);
        if (with_dll) {
            install_fake_runtime(folder);
        }
        RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(key)).text(L"EBWebView", folder);
        return folder;
    }

    HRESULT find(const EnvironmentRequest& request) {
        dll_path.clear();
        return loader::find_installed_runtime(request, dll_path);
    }

    EnvironmentRequest resolved() {
        EnvironmentRequest request;
        loader::resolve_overrides(request, strings);
        return request;
    }

    std::wstring dll_path;
    loader::OverrideStrings strings;
};

TEST_F(RuntimeSearch, NothingInstalledIsFileNotFound) {
    EXPECT_EQ(find({}), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(RuntimeSearch, FindsTheStableRuntimeInThe32BitView) {
    const std::wstring folder = machine_runtime(stable_key, L"120.0.2210.91");
    ASSERT_EQ(find({}), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(folder));
}

// A runtime folder counts only as the updater writes it, a REG_SZ text.
TEST_F(RuntimeSearch, TheFolderValueCountsOnlyAsText) {
    const std::wstring folder = temp / L"120.0.2210.91";
    install_fake_runtime(folder);
    const DWORD bytes = static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t));
    const struct {
        DWORD type;
        bool found;
    } rows[] = {{REG_SZ, true}, {REG_EXPAND_SZ, false}, {REG_BINARY, false}, {REG_MULTI_SZ, false}};
    for (const auto& row : rows) {
        RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(stable_key))
            .raw(L"EBWebView", row.type, folder.c_str(), bytes);
        EXPECT_EQ(find({}), row.found ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            << "type " << row.type;
    }
}

TEST_F(RuntimeSearch, IgnoresKeysOfThe64BitView) {
    const std::wstring folder = temp / L"120.0.2210.91";
    install_fake_runtime(folder);
    RegistryKey(HKEY_LOCAL_MACHINE, stable_key).text(L"EBWebView", folder);
    EXPECT_EQ(find({}), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(RuntimeSearch, MachineTakesPrecedenceOverUser) {
    const std::wstring machine = machine_runtime(stable_key, L"120.0.2210.91");
    const std::wstring user = temp / L"user\\121.0.0.0";
    install_fake_runtime(user);
    RegistryKey(HKEY_CURRENT_USER, stable_key).text(L"EBWebView", user);
    ASSERT_EQ(find({}), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(machine));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, wow64_path(stable_key).c_str());
    ASSERT_EQ(find({}), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(user));
}

TEST_F(RuntimeSearch, ChannelOrderFromTheReleaseChannelsVariable) {
    const std::wstring stable = machine_runtime(stable_key, L"120.0.0.0");
    const std::wstring beta = machine_runtime(beta_key, L"121.0.0.0");
    const std::wstring dev = machine_runtime(dev_key, L"122.0.0.0");
    ScopedVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L"0,2");
    ASSERT_EQ(find(resolved()), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(stable));
    {
        ScopedVariable kind(L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"1");
        ASSERT_EQ(find(resolved()), S_OK);
        EXPECT_EQ(dll_path, client_dll_path(dev));  // Dev, then Stable; Beta is not searched
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, wow64_path(stable_key).c_str());
    ASSERT_EQ(find(resolved()), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(dev));
    (void)beta;
}

TEST_F(RuntimeSearch, MaskFifteenSearchesAllFiveChannels) {
    const std::wstring internal = machine_runtime(internal_key, L"123.0.0.0");
    ScopedVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L"0,1,2,3");
    const auto request = resolved();
    EXPECT_EQ(request.release_channels, 0x0Fu);
    ASSERT_EQ(find(request), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(internal));
}

TEST_F(RuntimeSearch, FifteenOrAWordSelectsStable) {
    const std::wstring stable = machine_runtime(stable_key, L"120.0.0.0");
    machine_runtime(canary_key, L"124.0.0.0");
    for (const wchar_t* list : {L"15", L"beta"}) {
        ScopedVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", list);
        ScopedVariable kind(L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"1");
        const auto request = resolved();
        EXPECT_EQ(request.release_channels, 0x01u) << utf8(list);
        ASSERT_EQ(find(request), S_OK) << utf8(list);
        EXPECT_EQ(dll_path, client_dll_path(stable)) << utf8(list);
    }
}

TEST_F(RuntimeSearch, MinimumVersionBoundary) {
    struct Row {
        const wchar_t* version;
        bool accepted;
    };
    const Row rows[] = {{L"86.0.615.999", false},    {L"86.0.616.0", true}, {L"100", true},
                        {L"85.99.9999.9999", false}, {L"86.1.0.0", true},   {L"120abc", true}};
    for (const Row& row : rows) {
        const std::wstring folder = machine_runtime(stable_key, row.version);
        EXPECT_EQ(find({}) == S_OK, row.accepted) << utf8(row.version);
        if (row.accepted) {
            EXPECT_EQ(dll_path, client_dll_path(folder));
        }
    }
}

TEST_F(RuntimeSearch, FolderValuesThatAreNoCandidates) {
    const std::wstring fallback = machine_runtime(beta_key, L"121.0.0.0");
    const std::wstring rows[] = {L"120.0.0.0", temp / L"stable\\v120", L"", L"C:\\"};
    for (const std::wstring& value : rows) {
        RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(stable_key)).text(L"EBWebView", value);
        ASSERT_EQ(find({}), S_OK) << utf8(value);
        EXPECT_EQ(dll_path, client_dll_path(fallback)) << utf8(value);
    }
}

TEST_F(RuntimeSearch, EdgeViewUsesTheBrowserKeyForStable) {
    const std::wstring edge = temp / L"Edge\\Application";
    install_fake_runtime(edge + L"\\125.0.1.2");
    RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(edge_key))
        .text(L"location", edge)
        .text(L"pv", L"125.0.1.2");
    machine_runtime(stable_key, L"120.0.0.0");  // the WebView2 runtime is not asked
    EnvironmentRequest request;
    request.use_edge_view = true;
    ASSERT_EQ(find(request), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(edge + L"\\125.0.1.2"));

    RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(edge_key)).text(L"pv", L"");
    EXPECT_EQ(find(request), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(RuntimeSearch, SkipsALibraryThatCannotBeOpened) {
    const std::wstring locked = machine_runtime(stable_key, L"120.0.0.0");
    const std::wstring fallback = machine_runtime(beta_key, L"121.0.0.0");
    win32::UniqueFileHandle exclusive(CreateFileW(client_dll_path(locked).c_str(), GENERIC_READ, 0,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                  nullptr));
    ASSERT_TRUE(exclusive);
    EXPECT_EQ(find({}), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(fallback));
    exclusive.reset();
    EXPECT_EQ(find({}), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(locked));
}

TEST_F(RuntimeSearch, FixedFolderNeedsOnlyTheClientLibrary) {
    const std::wstring old = temp / L"50.0.0.0";  // no version check for a fixed folder
    install_fake_runtime(old);
    EXPECT_EQ(loader::client_dll_in_folder(old.c_str(), dll_path), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(old));

    const std::wstring empty = temp / L"empty";
    create_folders(empty);
    EXPECT_EQ(loader::client_dll_in_folder(empty.c_str(), dll_path),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(RuntimeSearch, RelativeFixedFolderIsBesideTheExecutable) {
    const std::wstring beside = executable_folder() + L"runtime";
    delete_tree(beside);
    EXPECT_EQ(loader::client_dll_in_folder(L"runtime", dll_path),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    install_fake_runtime(beside);
    EXPECT_EQ(loader::client_dll_in_folder(L"runtime", dll_path), S_OK);
    EXPECT_EQ(dll_path, client_dll_path(beside));
    delete_tree(beside);
}

}  // namespace
}  // namespace loader_test
