// The entry and its completion relay against the fake runtime: results, calls, retries and who
// holds what afterwards.

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "fake_options.h"
#include "fixture.h"
#include "loader/environment_creation.h"
#include "loader/loader.h"
#include "win32/webview2.h"

namespace loader_test {
namespace {

class Creation : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        runtime = temp / L"Runtime\\120.0.2210.91";
        dll = install_fake_runtime(runtime);
        RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(stable_key)).text(L"EBWebView", runtime);
    }

    HRESULT create(const wchar_t* browser_folder = nullptr,
                   const wchar_t* user_data = L"C:\\Data\\WebView2") {
        return CreateCoreWebView2EnvironmentWithOptions(browser_folder, user_data, nullptr,
                                                        handler.get());
    }

    void use_scenario(const wchar_t* name) {
        scenario.emplace(L"CORVANE_FAKE_RUNTIME_SCENARIO", name);
    }

    std::wstring runtime;
    std::wstring dll;
    RuntimeLog log{temp};
    std::optional<ScopedVariable> scenario;
    std::shared_ptr<HandlerRecord> record = std::make_shared<HandlerRecord>();
    win32::ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> handler =
        recording_handler(record);
};

TEST_F(Creation, NullHandlerIsEPointerAndTouchesNothing) {
    EXPECT_EQ(CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, nullptr, nullptr),
              E_POINTER);
    EXPECT_EQ(log.calls(), 0);
}

TEST_F(Creation, InstalledRuntimeDeliversAnEnvironmentLater) {
    ASSERT_EQ(create(), S_OK);
    EXPECT_EQ(record->calls, 0) << "the environment must arrive through the message loop";
    ASSERT_TRUE(pump_until_called(*record));
    EXPECT_EQ(record->calls, 1);
    EXPECT_EQ(record->result, S_OK);
    EXPECT_TRUE(record->environment);
    EXPECT_EQ(record->browser_version, L"120.0.2210.91");
    handler.reset();
    pump_pending();
    const std::vector<std::string> expected{
        "create first=1 kind=0 user_data=C:\\Data\\WebView2 options=(null) handler=set",
        "deliver 0x00000000 object", "environment released"};
    EXPECT_EQ(log.lines(), expected);
}

TEST_F(Creation, RuntimeKindFollowsFolderAndEdgeView) {
    struct Row {
        const wchar_t* browser_folder;
        const wchar_t* edge_view;
        int kind;
    };
    const std::wstring fixed = runtime;
    const Row rows[] = {{nullptr, nullptr, 0},
                        {fixed.c_str(), nullptr, 1},
                        {fixed.c_str(), L"1", 2},
                        {L"", nullptr, 0}};
    for (const Row& row : rows) {
        std::remove(utf8(temp / L"runtime.log").c_str());
        std::optional<ScopedVariable> edge;
        if (row.edge_view) {
            edge.emplace(L"WEBVIEW2_USE_EDGE_VIEW", row.edge_view);
        }
        auto seen = std::make_shared<HandlerRecord>();
        auto recorder = recording_handler(seen);
        ASSERT_EQ(CreateCoreWebView2EnvironmentWithOptions(row.browser_folder, nullptr, nullptr,
                                                           recorder.get()),
                  S_OK);
        ASSERT_TRUE(pump_until_called(*seen));
        ASSERT_FALSE(log.lines().empty());
        EXPECT_EQ(log.lines().front(), "create first=1 kind=" + std::to_string(row.kind) +
                                           " user_data=(null) options=(null) handler=set");
    }
}

TEST_F(Creation, AFailureAtOnceIsTriedTwiceThenReturned) {
    use_scenario(L"fail_now");
    EXPECT_EQ(create(), E_FAIL);
    EXPECT_EQ(log.calls(), 2);
    pump_pending();
    EXPECT_EQ(record->calls, 0);
    EXPECT_FALSE(module_loaded(dll)) << "a library with DllCanUnloadNow is freed again";
}

TEST_F(Creation, ASecondAttemptAtOnceCanSucceed) {
    use_scenario(L"fail_now_once");
    ASSERT_EQ(create(), S_OK);
    ASSERT_TRUE(pump_until_called(*record));
    EXPECT_EQ(log.calls(), 2);
    EXPECT_EQ(record->result, S_OK);
    EXPECT_TRUE(record->environment);
}

TEST_F(Creation, ALaterFailureIsRetriedOnce) {
    use_scenario(L"fail_later_once");
    ASSERT_EQ(create(), S_OK);
    ASSERT_TRUE(pump_until_called(*record));
    pump_pending();
    EXPECT_EQ(log.calls(), 2);
    EXPECT_EQ(record->calls, 1);
    EXPECT_EQ(record->result, S_OK);
    EXPECT_TRUE(record->environment);
}

TEST_F(Creation, ASecondLaterFailureIsForwarded) {
    use_scenario(L"fail_later_always");
    ASSERT_EQ(create(), S_OK);
    ASSERT_TRUE(pump_until_called(*record));
    pump_pending();
    EXPECT_EQ(log.calls(), 2);
    EXPECT_EQ(record->calls, 1);
    EXPECT_EQ(record->result, E_INVALIDARG);
    EXPECT_FALSE(record->environment);
}

TEST_F(Creation, ARetryThatFailsAtOnceReachesTheHandler) {
    use_scenario(L"fail_later_then_fail_now");
    ASSERT_EQ(create(), S_OK);
    ASSERT_TRUE(pump_until_called(*record));
    pump_pending();
    EXPECT_EQ(log.calls(), 2);
    EXPECT_EQ(record->calls, 1);
    EXPECT_EQ(record->result, E_FAIL);
    EXPECT_FALSE(record->environment);
}

TEST_F(Creation, TheRejectionCodeIsNeverRetried) {
    for (const wchar_t* name : {L"reject_later", L"reject_later_with_object"}) {
        use_scenario(name);
        auto seen = std::make_shared<HandlerRecord>();
        auto recorder = recording_handler(seen);
        ASSERT_EQ(
            CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, nullptr, recorder.get()),
            S_OK);
        ASSERT_TRUE(pump_until_called(*seen));
        pump_pending();
        EXPECT_EQ(log.calls(), 1) << utf8(name);
        EXPECT_EQ(seen->calls, 1);
        EXPECT_EQ(seen->result, static_cast<HRESULT>(0x80040200));
        EXPECT_FALSE(seen->environment) << "a failure never comes with an environment";
        std::remove(utf8(temp / L"runtime.log").c_str());
    }
}

TEST_F(Creation, AnObjectThatIsNoEnvironmentGivesTheQueryFailure) {
    use_scenario(L"not_environment");
    ASSERT_EQ(create(), S_OK);
    ASSERT_TRUE(pump_until_called(*record));
    pump_pending();
    EXPECT_EQ(record->result, E_NOINTERFACE);
    EXPECT_FALSE(record->environment);
    EXPECT_EQ(log.lines().back(), "object released");
}

TEST_F(Creation, SuccessWithoutAnObjectIsPassedOn) {
    use_scenario(L"succeed_without_object");
    ASSERT_EQ(create(), S_OK);
    ASSERT_TRUE(pump_until_called(*record));
    EXPECT_EQ(record->result, S_OK);
    EXPECT_FALSE(record->environment);
}

TEST_F(Creation, NoRuntimeIsFileNotFound) {
    delete_loader_registry_trees();
    EXPECT_EQ(create(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(log.calls(), 0);
}

TEST_F(Creation, LibraryVariants) {
    struct Row {
        const wchar_t* variant;
        HRESULT result;
        bool stays_loaded;
    };
    const Row rows[] = {
        {L"no_create", HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), false},
        {L"missing_dependency", HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), false},
    };
    for (const Row& row : rows) {
        const std::wstring folder = temp / row.variant;
        const std::wstring path = install_fake_runtime(folder, row.variant);
        EXPECT_EQ(create(folder.c_str()), row.result) << utf8(row.variant);
        EXPECT_EQ(module_loaded(path), row.stays_loaded) << utf8(row.variant);
    }
    EXPECT_EQ(log.calls(), 0);
}

TEST_F(Creation, ALibraryWithoutUnloadExportStaysLoaded) {
    use_scenario(L"fail_now");
    const std::wstring folder = temp / L"no_unload";
    const std::wstring path = install_fake_runtime(folder, L"no_unload");
    EXPECT_EQ(create(folder.c_str()), E_FAIL);
    EXPECT_EQ(log.calls(), 2);
    EXPECT_TRUE(module_loaded(path));
}

TEST_F(Creation, AFileThatIsNoLibrary) {
    const std::wstring folder = temp / L"garbage";
    create_folders(folder + L"\\EBWebView\\x64");
    write_file(client_dll_path(folder), "not a portable executable");
    EXPECT_EQ(create(folder.c_str()), HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT));
}

TEST_F(Creation, TheRelayHoldsTheOptionsUntilItIsDone) {
    FakeOptions options;  // offering neither option interface
    options.offer_edge_view = false;
    options.offer_channels = false;
    use_scenario(L"fail_later_once");
    ASSERT_EQ(CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, &options, handler.get()),
              S_OK);
    EXPECT_EQ(options.references, 2u);  // the relay's reference, for the retry
    ASSERT_TRUE(pump_until_called(*record));
    pump_pending();
    EXPECT_EQ(log.calls(), 2);
    EXPECT_NE(log.lines().front().find("options=set"), std::string::npos);
    EXPECT_EQ(options.references, 1u);
}

}  // namespace
}  // namespace loader_test
