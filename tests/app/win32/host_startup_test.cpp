// Start-up of the real program: the browser view's configuration call by call, every start-up
// failure with its exact box, the missing web folder, a file-system error, the user data
// folder, and closing before the view is ready.

#include <algorithm>
#include <string>
#include <vector>

#include <shlobj.h>

#include "host_fixture.h"

namespace host_test {
namespace {

using HostStartup = HostTest;

constexpr char runtime_required[] =
    "Microsoft Edge WebView2 Runtime is required. Install the free Evergreen Runtime from "
    "https://developer.microsoft.com/microsoft-edge/webview2/ and reopen the app.";
constexpr char too_old[] =
    "This WebView2 Runtime is too old. Update Microsoft Edge WebView2 and reopen the app.";
constexpr char default_agent[] =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36 Edg/120.0.2210.91";

std::wstring local_app_data() {
    PWSTR folder = nullptr;
    SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder);
    std::wstring path = folder ? folder : L"";
    CoTaskMemFree(folder);
    return path;
}

std::string folder_of(const std::wstring& file) {
    return utf8(file.substr(0, file.rfind(L'\\')));
}

bool is_folder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The box of a failed start: exact text and caption, owned by the main window, OK only.
void expect_box(HostRun& run, const std::string& text) {
    const std::optional<Box> box = run.wait_for_box();
    ASSERT_TRUE(box.has_value()) << "no box for: " << text;
    EXPECT_EQ(utf8(box->text), text);
    EXPECT_EQ(box->caption, L"Corvane Weather");
    EXPECT_EQ(box->owner, run.main_window());
    EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(box->has_icon);
    HostRun::press_ok(*box);
    // The window stays open and empty until the user closes it.
    EXPECT_TRUE(wait_until([&] { return !run.find_box() && IsWindowVisible(run.main_window()); }));
}

TEST_F(HostStartup, ConfiguresTheViewCallByCallAndReleasesItOnClose) {
    HostRun run(scratch);
    const HWND window = run.main_window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(run.wait_until_loaded());
    RECT client{};
    GetClientRect(window, &client);

    const std::vector<std::string> expected = {
        "create first=1 kind=0 user_data=" + utf8(local_app_data()) +
            "\\CorvaneWeather\\WebView2 options=(null) handler=set",
        "deliver 0x00000000 object",
        "environment CreateCoreWebView2Controller parent=set handler=set",
        "environment released",
        "controller deliver 0x00000000 object",
        "controller get_CoreWebView2",
        "webview QueryInterface ICoreWebView2_3 given",
        "webview SetVirtualHostNameToFolderMapping corvane-weather.example " +
            folder_of(host_executable()) + "\\web 2 returns 0x00000000",
        "webview get_Settings",
        "settings put_IsStatusBarEnabled 0",
        "settings QueryInterface ICoreWebView2Settings2 given",
        "settings get_UserAgent",
        std::string("settings put_UserAgent ") + default_agent + " CorvaneWeather/1.0",
        "webview add_WebMessageReceived",
        "webview add_NavigationStarting",
        "webview add_NewWindowRequested",
        "controller put_Bounds 0 0 " + std::to_string(client.right) + " " +
            std::to_string(client.bottom),
        "controller put_IsVisible 1",
        "webview Navigate https://corvane-weather.example/index.html",
        "controller handler returned 0x00000000",
        "controller handler released, 0 left",
        "navigation get_Uri",
        "webview NavigationStarting returned 0x00000000",
        "navigation https://corvane-weather.example/index.html allowed",
        "navigation args released",
        "page loaded https://corvane-weather.example/index.html",
    };
    EXPECT_EQ(run.log(), expected);

    const std::size_t mark = run.log().size();
    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
    const std::vector<std::string> stop = lines_from(run.log(), mark);
    const std::vector<std::string> expected_stop = {
        "controller Close",
        "webview released",
        "webview WebMessageReceived handler released, 0 left",
        "webview NavigationStarting handler released, 0 left",
        "webview NewWindowRequested handler released, 0 left",
        "settings released",
        "controller released",
        "exit: objects alive 0, strings given 2, freed 2, freed twice 0",
    };
    EXPECT_EQ(stop, expected_stop);
}

TEST_F(HostStartup, EachFailureShowsItsBoxAndLeavesTheWindowOpen) {
    struct Row {
        const char* name;
        std::wstring scenario;
        std::string script;
        std::string text;
        bool view_requested;  // whether the program got as far as asking for a view
    };
    const std::vector<Row> rows = {
        {"creation call fails", L"fail_now", "",
         "Could not start the Microsoft Edge WebView2 Runtime.\n\nError: 0x80004005", false},
        {"environment fails later", L"fail_later_always", "",
         std::string(runtime_required) + "\n\nError: 0x80070057", false},
        {"no environment", L"succeed_without_object", "", runtime_required, false},
        {"not an environment", L"not_environment", "",
         std::string(runtime_required) + "\n\nError: 0x80004002", false},
        {"controller fails", L"", "controller_later 0x80070005\n",
         "Could not create the map window.\n\nError: 0x80070005", true},
        {"no controller", L"", "controller_missing\n", "Could not create the map window.", true},
        {"no ICoreWebView2_3", L"", "no_webview_3\n", too_old, true},
        {"mapping fails", L"", "mapping 0x80070057\n", too_old, true},
        {"no view", L"", "no_webview\n", too_old, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HostRun run(scratch, Launch{host_executable(), row.script, row.scenario});
        ASSERT_NE(run.main_window(), nullptr);
        expect_box(run, row.text);
        run.close();
        EXPECT_EQ(run.wait_for_exit(), 0);
        const std::vector<std::string> log = run.log();
        EXPECT_TRUE(starting_with(log, "webview Navigate").empty());
        EXPECT_TRUE(starting_with(log, "webview add_").empty());
        if (row.view_requested) {
            expect_everything_released(log);
        }
    }
}

TEST_F(HostStartup, QuietFailuresShowNoBox) {
    struct Row {
        const char* name;
        std::string script;
        bool navigates;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const std::vector<Row> rows = {
        {"controller refused at once",
         "controller_now 0x80004005\n",
         false,
         {"environment CreateCoreWebView2Controller returns 0x80004005"},
         {"controller deliver 0x00000000 object"}},
        {"no ICoreWebView2Settings2",
         "no_settings_2\n",
         true,
         {"settings QueryInterface ICoreWebView2Settings2 refused",
          "settings put_IsStatusBarEnabled 0"},
         {"settings get_UserAgent"}},
        {"no default user agent",
         "user_agent_none\n",
         true,
         {"settings put_UserAgent  CorvaneWeather/1.0"},
         {}},
        {"no settings",
         "no_settings\n",
         true,
         {"webview get_Settings"},
         {"settings put_IsStatusBarEnabled 0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HostRun run(scratch, Launch{host_executable(), row.script, L""});
        ASSERT_NE(run.main_window(), nullptr);
        if (row.navigates) {
            ASSERT_TRUE(run.wait_until_loaded());
        } else {
            ASSERT_TRUE(wait_until([&] { return contains(run.log(), row.present.front()); }));
        }
        run.close();
        EXPECT_EQ(run.wait_for_exit(), 0);  // fails on any box
        const std::vector<std::string> log = run.log();
        for (const std::string& line : row.present) {
            EXPECT_TRUE(contains(log, line)) << line;
        }
        for (const std::string& line : row.absent) {
            EXPECT_FALSE(contains(log, line)) << line;
        }
        expect_everything_released(log);
    }
}

TEST_F(HostStartup, WithoutIndexHtmlBesideTheProgramNoViewIsCreated) {
    const std::string missing =
        "The web folder is missing. Keep the web folder beside CorvaneWeather.exe, or "
        "rebuild using build.ps1.";
    struct Row {
        const char* name;
        void (*prepare)(const std::wstring& folder);
    };
    const Row rows[] = {
        {"no web folder", [](const std::wstring&) {}},
        {"web folder without index.html",
         [](const std::wstring& folder) {
             CreateDirectoryW((folder + L"\\web").c_str(), nullptr);
             write_file(folder + L"\\web\\index.htm", "<p>not the page</p>");
             CreateDirectoryW((folder + L"\\web\\js").c_str(), nullptr);
         }},
        {"web is a file", [](const std::wstring& folder) { write_file(folder + L"\\web", ""); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder place;
        const std::wstring program = place / L"CorvaneWeather.exe";
        ASSERT_TRUE(CopyFileW(host_executable().c_str(), program.c_str(), FALSE));
        row.prepare(place.path());
        HostRun run(scratch, Launch{program, "", L""});
        ASSERT_NE(run.main_window(), nullptr);
        expect_box(run, missing);
        run.close();
        EXPECT_EQ(run.wait_for_exit(), 0);
        EXPECT_TRUE(run.log().empty()) << "no browser environment may be asked for";
    }
}

TEST_F(HostStartup, TheReadyToCopyFolderServesItsOwnWebFolder) {
    HostRun run(scratch, Launch{packaged_executable(), "", L""});
    ASSERT_TRUE(run.wait_until_loaded());
    EXPECT_TRUE(contains(run.log(),
                         "webview SetVirtualHostNameToFolderMapping "
                         "corvane-weather.example " +
                             folder_of(packaged_executable()) + "\\web 2 returns 0x00000000"));
    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(HostStartup, UserDataLivesUnderLocalApplicationData) {
    const std::wstring root = local_app_data() + L"\\CorvaneWeather";
    delete_tree(root);
    HostRun run(scratch);
    ASSERT_TRUE(run.wait_until_loaded());
    const std::vector<std::string> creations = starting_with(run.log(), "create ");
    ASSERT_EQ(creations.size(), 1u);
    EXPECT_EQ(creations.front(), "create first=1 kind=0 user_data=" + utf8(root) +
                                     "\\WebView2 options=(null) handler=set");
    EXPECT_TRUE(is_folder(root)) << "the host creates its own folder";
    EXPECT_FALSE(is_folder(root + L"\\WebView2")) << "the runtime's folder is the runtime's";
    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(HostStartup, AFileSystemErrorEndsTheProgramWithItsTextAndCodeOne) {
    const std::wstring root = local_app_data() + L"\\CorvaneWeather";
    delete_tree(root);
    write_file(root, "a file where the folder belongs");
    HostRun run(scratch);
    const std::optional<Box> box = run.wait_for_box();
    ASSERT_TRUE(box.has_value());
    const std::string text = utf8(box->text);
    EXPECT_EQ(text.rfind("filesystem error: create_directories: ", 0), 0u) << text;
    EXPECT_NE(text.find(utf8(root)), std::string::npos) << text;
    EXPECT_EQ(text.find("Error: 0x"), std::string::npos) << "no error-code line";
    EXPECT_EQ(box->caption, L"Corvane Weather");
    EXPECT_EQ(box->owner, nullptr);
    HostRun::press_ok(*box);
    EXPECT_EQ(run.wait_for_exit(), 1);
    EXPECT_TRUE(run.log().empty());
    DeleteFileW(root.c_str());
}

// An exception that reaches the entry function while the map runs ends the program as a close
// does before its box shows: no reply reaches the page after that, and the view is closed.
TEST_F(HostStartup, AnExceptionWhileRunningStopsTheViewBeforeItsBox) {
    HostRun run(scratch);
    ASSERT_TRUE(run.wait_until_loaded());
    for (int id = 0; id < 4; ++id) {
        ASSERT_TRUE(
            run.step("message https://corvane-weather.example/index.html "
                     R"({"argument":"abc","id":)" +
                     std::to_string(id) + R"(,"operation":"point"})"));
    }
    ASSERT_TRUE(run.step("bounds_throw"));
    PostMessageW(run.main_window(), WM_SIZE, 0, 0);
    const std::optional<Box> box = run.wait_for_box();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(utf8(box->text), "The fake browser view failed to take its bounds");
    EXPECT_EQ(box->owner, nullptr);
    const std::vector<std::string> at_box = run.log();
    const auto closed = std::find(at_box.begin(), at_box.end(), "controller Close");
    EXPECT_NE(closed, at_box.end()) << "the view still runs behind the box";
    HostRun::press_ok(*box);
    EXPECT_EQ(run.wait_for_exit(), 1);
    const std::vector<std::string> log = run.log();
    EXPECT_TRUE(
        posted_replies(lines_from(log, static_cast<std::size_t>(closed - at_box.begin()))).empty())
        << "a reply reached the page after the view was closed";
    expect_everything_released(log);
}

TEST_F(HostStartup, ClosingBeforeTheViewIsReadyMakesTheLateCompletionsDoNothing) {
    {
        SCOPED_TRACE("environment pending");
        HostRun run(scratch, Launch{host_executable(), "close_before environment\n", L""});
        EXPECT_EQ(run.wait_for_exit(), 0);  // fails on any box
        const std::vector<std::string> log = run.log();
        EXPECT_TRUE(contains(log, "window close posted"));
        EXPECT_TRUE(contains(log, "deliver 0x00000000 object")) << "delivered while closing";
        EXPECT_TRUE(starting_with(log, "environment CreateCoreWebView2Controller").empty());
        EXPECT_TRUE(contains(log, "environment released"));
    }
    {
        SCOPED_TRACE("controller pending");
        HostRun run(scratch, Launch{host_executable(), "close_before controller\n", L""});
        EXPECT_EQ(run.wait_for_exit(), 0);
        const std::vector<std::string> log = run.log();
        EXPECT_TRUE(contains(log, "controller deliver 0x00000000 object"));
        EXPECT_TRUE(contains(log, "controller handler returned 0x00000000"));
        EXPECT_FALSE(contains(log, "controller get_CoreWebView2")) << "the controller is not kept";
        EXPECT_TRUE(contains(log, "controller released"));
        EXPECT_TRUE(contains(log, "controller handler released, 0 left"));
        expect_everything_released(log);
    }
}

}  // namespace
}  // namespace host_test
