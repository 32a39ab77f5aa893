// The host's parts in this process: text conversion, box text, geometry, the address policy,
// and the window procedure with the reply queue: every reply text freed exactly once, whether
// delivered, dropped for want of a view, drained by the shutdown, or refused by a closed
// window, with workers still running while the window closes.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "app/host_rules.h"
#include "app/win32/application.h"
#include "app/win32/error_box.h"
#include "app/win32/folders.h"
#include "app/win32/main_window.h"
#include "app/win32/navigation_policy.h"
#include "app/win32/page_bridge.h"
#include "app/win32/text_conversion.h"
#include "host_fixture.h"
#include "message_args.h"
#include "tests/win32/fake_browser_view/fake_controller.h"
#include "win32/com_object.h"

namespace host_test {
namespace {

TEST(HostText, Utf8ToWide) {
    struct Row {
        std::string utf8;
        std::wstring wide;
    };
    const Row rows[] = {
        {"", L""},
        {"abc", L"abc"},
        {"\xC3\xA9t\xC3\xA9", L"\u00E9t\u00E9"},
        {"\xF0\x9F\x8C\xA7", L"\U0001F327"},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"\xC3\x28", L"Invalid UTF-8"},
        {"\xC0\xAF", L"Invalid UTF-8"},
        {"abc\xE2\x82", L"Invalid UTF-8"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(win32_host::utf8_to_wide(row.utf8), row.wide) << row.utf8;
    }
}

TEST(HostText, WideToUtf8) {
    EXPECT_EQ(win32_host::wide_to_utf8(L""), "");
    EXPECT_EQ(win32_host::wide_to_utf8(L"\u00E9\U0001F327"), "\xC3\xA9\xF0\x9F\x8C\xA7");
    EXPECT_EQ(win32_host::wide_to_utf8(std::wstring(1, wchar_t(0xD800)) + L"x"), "\xEF\xBF\xBDx");
}

TEST(HostText, ErrorBoxAddsTheCodeLineOnlyForNegativeCodes) {
    struct Row {
        HRESULT code;
        std::wstring text;
    };
    const Row rows[] = {
        {0, L"Text"},
        {1, L"Text"},
        {0x7FFFFFFF, L"Text"},
        {E_FAIL, L"Text\n\nError: 0x80004005"},
        {static_cast<HRESULT>(0x80000000), L"Text\n\nError: 0x80000000"},
        {static_cast<HRESULT>(0x8007000E), L"Text\n\nError: 0x8007000E"},
        {static_cast<HRESULT>(0xC00000AB), L"Text\n\nError: 0xC00000AB"},
        {static_cast<HRESULT>(0xFFFFFFFF), L"Text\n\nError: 0xFFFFFFFF"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(win32_host::error_box_text(L"Text", row.code), row.text) << row.code;
    }
}

TEST(HostGeometry, WindowRectangleOfAScreen) {
    struct Row {
        int width, height;
        RECT expected;
    };
    const Row rows[] = {
        {1366, 768, {35, 40, 1331, 728}},     {1920, 1080, {230, 60, 1690, 1020}},
        {2560, 1440, {550, 240, 2010, 1200}}, {1530, 1040, {35, 40, 1495, 1000}},
        {1531, 1041, {35, 40, 1495, 1000}},   {1529, 1039, {35, 40, 1494, 999}},
    };
    for (const Row& row : rows) {
        const RECT rect = win32_host::window_rectangle(row.width, row.height);
        EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}),
                  (std::vector<LONG>{row.expected.left, row.expected.top, row.expected.right,
                                     row.expected.bottom}))
            << row.width << "x" << row.height;
    }
}

TEST(HostGeometry, MinimumTrackSizeRoundsToNearest) {
    struct Row {
        UINT dpi;
        SIZE minimum;
    };
    const Row rows[] = {
        {96, {920, 650}}, {120, {1150, 813}}, {144, {1380, 975}}, {192, {1840, 1300}}};
    for (const Row& row : rows) {
        const SIZE size = win32_host::minimum_track_size(row.dpi);
        EXPECT_EQ(size.cx, row.minimum.cx) << row.dpi;
        EXPECT_EQ(size.cy, row.minimum.cy) << row.dpi;
    }
}

TEST(HostAddresses, PageAndExternalPrefixesCompareCodeUnitsExactly) {
    struct Row {
        std::wstring address;
        bool page;
        bool external;
    };
    const Row rows[] = {
        {L"https://corvane-weather.example/index.html", true, true},
        {L"https://corvane-weather.example/", true, true},
        {L"https://corvane-weather.example", false, true},
        {L"https://corvane-weather.exampl/", false, true},
        {L"https://Corvane-weather.example/", false, true},
        {L"https://corvane-weather.example.org/", false, true},
        {L" https://corvane-weather.example/", false, false},
        {L"http://corvane-weather.example/", false, false},
        {L"https://", false, true},
        {L"https:/", false, false},
        {L"HTTPS://www.weather.gov/", false, false},
        {L"mailto:a@b.example", false, false},
        {L"", false, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(win32_host::is_page_address(row.address), row.page) << utf8(row.address);
        EXPECT_EQ(host::is_external_address(std::wstring_view(row.address)), row.external)
            << utf8(row.address);
    }
}

TEST(HostFolders, TheWebFolderIsBesideTheExecutable) {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    EXPECT_EQ(win32_host::executable_folder().wstring(), self.substr(0, self.rfind(L'\\')));
    EXPECT_EQ((win32_host::executable_folder() / L"web").wstring(),
              self.substr(0, self.rfind(L'\\')) + L"\\web");
    // The parent-path rule the host relies on.
    EXPECT_EQ(std::filesystem::path(L"C:\\Apps\\CorvaneWeather.exe").parent_path(), L"C:\\Apps");
    EXPECT_EQ(std::filesystem::path(L"C:\\CorvaneWeather.exe").parent_path(), L"C:\\");
    EXPECT_EQ(std::filesystem::path(L"C:\\Apps") / L"web", L"C:\\Apps\\web");
    EXPECT_EQ(std::filesystem::path(L"C:\\Apps\\") / L"web", L"C:\\Apps\\web");
}

// A window of the host's class driven in this process, with the fake controller and view of
// the fake runtime when a test attaches them, or the fake runtime registered as installed; they
// log to a file of the test's own.
class HostWindowProcedure : public HostTest {
protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"CORVANE_FAKE_RUNTIME_LOG", (scratch / L"fake.log").c_str());
        static const ATOM registered = win32_host::register_window_class(
            GetModuleHandleW(nullptr), static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ASSERT_NE(registered, 0);
        // Created without an application (WM_CREATE would start a browser view); tests attach
        // one afterwards as WM_NCCREATE would.
        window =
            CreateWindowExW(0, win32_host::window_class_name, L"test", WS_OVERLAPPEDWINDOW, 0, 0,
                            1000, 700, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        application.state = std::make_shared<win32_host::AsyncState>();
    }
    void TearDown() override {
        application.shutdown();
        if (IsWindow(window)) {
            DestroyWindow(window);
        }
        pump();
        SetEnvironmentVariableW(L"CORVANE_FAKE_RUNTIME_LOG", nullptr);
    }

    // Replies go to the window, as after WM_NCCREATE and initialize; attach() also lets the
    // window procedure find the application.
    void open_replies() {
        application.window = window;
        application.state->open(application);
    }
    void attach() {
        open_replies();
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&application));
    }
    void attach_view() {
        application.controller = win32::ComPtr<ICoreWebView2Controller>::attach(
            new fake_browser_view::FakeController(window));
        ASSERT_EQ(application.controller->get_CoreWebView2(application.webview.put()), S_OK);
    }
    static void pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    std::vector<std::string> log() const { return read_lines(scratch / L"fake.log"); }
    void post_reply(const wchar_t* text) {
        ASSERT_TRUE(application.state->hand_over(reinterpret_cast<const char16_t*>(text)));
    }

    HWND window = nullptr;
    win32_host::Application application;
};

TEST_F(HostWindowProcedure, WithoutAnApplicationRepliesAreFreedAndCloseStillDestroys) {
    open_replies();
    const long before = live_allocations();
    post_reply(L"{\"a long reply text\":\"beyond the short string buffer\"}");
    SendMessageW(window, win32_host::reply_message, 0, 0x4141414141);  // carries nothing to read
    pump();
    application.state->close();
    EXPECT_EQ(live_allocations(), before);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(HostWindowProcedure, AReplyReachesTheViewOnceAndIsFreed) {
    attach();
    {
        const long before = live_allocations();
        post_reply(L"{\"before\":\"the view exists, this reply is dropped\"}");
        pump();
        EXPECT_EQ(live_allocations(), before);
    }
    attach_view();
    const long before = live_allocations();
    post_reply(L"{\"body\":{},\"id\":\"\u00E9\",\"status\":200}");
    pump();
    // Foreign ones, whatever they carry, find nothing more to deliver.
    SendMessageW(window, win32_host::reply_message, 7, 0x4141414141);
    PostMessageW(window, win32_host::reply_message, 0, -1);
    pump();
    EXPECT_EQ(live_allocations(), before);
    EXPECT_EQ(posted_replies(log()),
              std::vector<std::string>{"{\"body\":{},\"id\":\"\xC3\xA9\",\"status\":200}"});
}

TEST_F(HostWindowProcedure, ShutdownDrainsQueuedRepliesAndLetsGoOfTheView) {
    attach();
    attach_view();
    // Our own references keep the fake objects' memory out of the count.
    const auto controller = application.controller;
    const auto view = application.webview;
    const long before = live_allocations();
    for (const wchar_t* text : {L"{\"n\":1}", L"{\"n\":2}", L"{\"n\":3}"}) {
        post_reply(text);
    }
    const std::size_t mark = log().size();
    application.shutdown();
    EXPECT_EQ(live_allocations(), before) << "the drain frees every queued reply";
    EXPECT_TRUE(application.state->closing.load());
    EXPECT_FALSE(application.state->hand_over(u"[]")) << "no reply goes to a sink any more";
    EXPECT_FALSE(application.controller);
    EXPECT_FALSE(application.webview);
    EXPECT_EQ(lines_from(log(), mark), std::vector<std::string>{"controller Close"});
    MSG left;
    EXPECT_FALSE(PeekMessageW(&left, window, win32_host::reply_message, win32_host::reply_message,
                              PM_NOREMOVE));

    application.shutdown();  // again: nothing of consequence
    EXPECT_EQ(lines_from(log(), mark), std::vector<std::string>{"controller Close"});
    pump();
    EXPECT_TRUE(posted_replies(log()).empty());
    // The host let go: ours were the last references.
    EXPECT_EQ(view->AddRef(), 2u);
    view->Release();
    EXPECT_EQ(controller->AddRef(), 2u);
    controller->Release();
}

TEST_F(HostWindowProcedure, ClosingWithWorkersInFlightDeliversNothingLateAndFreesEveryReply) {
    attach();
    attach_view();
    const std::wstring request = L"{\"argument\":\"abc\",\"id\":\"r\",\"operation\":\"point\"}";
    MessageArgs args(request);
    // Once, so that the process-wide pieces (weather service, reply channel) exist already.
    application.handle_web_message(&args);
    ASSERT_TRUE(wait_until([&] {
        pump();
        return posted_replies(log()).size() == 1 && application.state.use_count() == 1;
    }));

    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        win32_host::Application closing;
        closing.state = std::make_shared<win32_host::AsyncState>();
        closing.window = window;
        closing.state->open(closing);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&closing));
        closing.controller = win32::ComPtr<ICoreWebView2Controller>::attach(
            new fake_browser_view::FakeController(window));
        ASSERT_EQ(closing.controller->get_CoreWebView2(closing.webview.put()), S_OK);
        const auto controller = closing.controller;  // keeps the fakes out of the count
        const auto view = closing.webview;
        const long before = live_allocations();
        const std::size_t mark = log().size();

        for (int i = 0; i < 8; ++i) {
            closing.handle_web_message(&args);
            if (i == round % 8) {
                pump();  // some replies are delivered before the close, some are not
            }
        }
        closing.shutdown();
        const std::size_t delivered = posted_replies(lines_from(log(), mark)).size();
        ASSERT_TRUE(wait_until([&] {
            pump();
            return closing.state.use_count() == 1 && live_allocations() <= before;
        })) << "a worker's reply or closure was not freed: "
            << closing.state.use_count() << " shares, " << live_allocations() - before
            << " blocks more";
        EXPECT_EQ(closing.state->active_requests.load(), 0);
        EXPECT_EQ(posted_replies(lines_from(log(), mark)).size(), delivered)
            << "a reply reached the view after the close";
        EXPECT_EQ(live_allocations(), before);
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&application));
}

TEST_F(HostWindowProcedure, AWorkerWhoseWindowIsGoneFreesItsReply) {
    attach();
    attach_view();
    MessageArgs args(L"{\"argument\":\"abc\",\"id\":1,\"operation\":\"point\"}");
    const std::size_t replies = posted_replies(log()).size() + 1;
    application.handle_web_message(&args);  // the process-wide pieces, as above
    // Its reply is delivered too, so that it is neither counted nor freed during the
    // measurement below.
    ASSERT_TRUE(wait_until([&] {
        pump();
        return posted_replies(log()).size() == replies && application.state.use_count() == 1;
    }));

    const HWND gone = CreateWindowExW(0, win32_host::window_class_name, L"gone", 0, 0, 0, 10, 10,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(gone);
    const long before = live_allocations();
    application.window = gone;  // as if the window went without a shutdown
    EXPECT_FALSE(application.request_delivery()) << "a destroyed window takes no wake-up";

    application.handle_web_message(&args);
    ASSERT_TRUE(wait_until([&] {
        pump();
        return application.state.use_count() == 1 && live_allocations() <= before;
    }));
    EXPECT_EQ(live_allocations(), before);
    EXPECT_EQ(application.state->active_requests.load(), 0);
    EXPECT_EQ(posted_replies(log()).size(), replies);
    EXPECT_TRUE(application.state->take_replies().empty()) << "the reply was dropped";
    application.window = window;
}

// When a handler cannot be made (memory runs out), the set-up ends with its box before the page
// host is mapped: no view is left mapped but never navigated, and the runtime gets S_OK.
TEST_F(HostWindowProcedure, AHandlerThatCannotBeMadeEndsTheSetUpWithItsBox) {
    const std::filesystem::path web = win32_host::executable_folder() / L"web";
    const bool made_web = !std::filesystem::exists(web / L"index.html");
    if (made_web) {
        std::filesystem::create_directories(web);
        std::ofstream(web / L"index.html") << "<p>map</p>";
    }
    attach();
    application.initialize();
    // One message at a time, so that the controller is not delivered before the switch below.
    ASSERT_TRUE(wait_until([&] {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        return contains(log(), "environment CreateCoreWebView2Controller parent=set handler=set");
    }));
    std::optional<Box> box;
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        wait_until([&] {
            box = find_box_of(GetCurrentProcessId());
            return box.has_value() || done.load();
        });
        if (box) {
            HostRun::press_ok(*box);
        }
    });
    fail_nothrow_allocations(true);
    const bool returned = wait_until([&] {
        pump();
        return !starting_with(log(), "controller handler returned").empty();
    });
    fail_nothrow_allocations(false);
    done = true;
    watcher.join();
    if (made_web) {
        std::filesystem::remove_all(web);
    }
    ASSERT_TRUE(returned);
    const std::vector<std::string> seen = log();
    EXPECT_EQ(starting_with(seen, "controller handler returned"),
              std::vector<std::string>{"controller handler returned 0x00000000"});
    EXPECT_EQ(starting_with(seen, "webview SetVirtualHostNameToFolderMapping"),
              std::vector<std::string>{});
    EXPECT_EQ(starting_with(seen, "webview Navigate"), std::vector<std::string>{});
    ASSERT_TRUE(box.has_value()) << "no box";
    EXPECT_EQ(utf8(box->text), "Could not create the map window.\n\nError: 0x8007000E");
    EXPECT_EQ(box->owner, window);
}

TEST_F(HostWindowProcedure, SizeDpiAndFocusMessages) {
    MINMAXINFO limits{};
    limits.ptMaxTrackSize = POINT{12345, 6789};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 920);  // this test program is not DPI aware: 96
    EXPECT_EQ(limits.ptMinTrackSize.y, 650);
    EXPECT_EQ(limits.ptMaxTrackSize.x, 12345) << "the other members are the system's";

    attach();
    SendMessageW(window, WM_SETFOCUS, 0, 0);  // no view yet: nothing happens
    SendMessageW(window, WM_SIZE, 0, 0);
    attach_view();
    const std::size_t mark = log().size();
    RECT suggested{100, 50, 100 + 1400, 50 + 900};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT now{};
    GetWindowRect(window, &now);
    EXPECT_EQ((std::vector<LONG>{now.left, now.top, now.right, now.bottom}),
              (std::vector<LONG>{100, 50, 1500, 950}));
    RECT client{};
    GetClientRect(window, &client);
    SendMessageW(window, WM_SETFOCUS, 0, 0);
    const std::vector<std::string> expected = {"controller put_Bounds 0 0 " +
                                                   std::to_string(client.right) + " " +
                                                   std::to_string(client.bottom),
                                               "controller MoveFocus 0"};
    std::vector<std::string> seen = lines_from(log(), mark);
    EXPECT_EQ(seen, expected);
}

// The resources' content is tested with the resources themselves (tests/resources); here, that
// the program carries them.
TEST(HostResources, TheProgramCarriesItsIconManifestAndVersionRecord) {
    const win32::UniqueModule module(
        LoadLibraryExW(host_executable().c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(module);
    const HMODULE program = module.get();
    const auto bytes = [&](LPCWSTR type) {
        const HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), type);
        if (found == nullptr) {
            return std::string();
        }
        const auto* data = static_cast<const char*>(LockResource(LoadResource(program, found)));
        return std::string(data, SizeofResource(program, found));
    };
    const std::string icons = bytes(MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_GE(icons.size(), 6u);
    EXPECT_EQ(static_cast<unsigned char>(icons[4]), 7u) << "seven images in icon group 1";
    const std::string manifest = bytes(MAKEINTRESOURCEW(24));  // RT_MANIFEST
    EXPECT_NE(manifest.find(">PerMonitorV2</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifest.find(R"(level="asInvoker")"), std::string::npos);
    const std::string version = bytes(MAKEINTRESOURCEW(16));  // RT_VERSION
    std::wstring wide_version(reinterpret_cast<const wchar_t*>(version.data()),
                              version.size() / sizeof(wchar_t));
    EXPECT_NE(wide_version.find(L"CorvaneWeather.exe"), std::wstring::npos);
}

// Event arguments whose first getter throws, as a stand-in for any failure inside a handler;
// they record what the handler still set.
struct FailingArgs final : ICoreWebView2WebMessageReceivedEventArgs,
                           ICoreWebView2NavigationStartingEventArgs,
                           ICoreWebView2NewWindowRequestedEventArgs {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // Web message: the source cannot be read.
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR*) override { throw std::bad_alloc(); }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR*) override { return E_FAIL; }
    // Navigation and new window: the address and the initiator cannot be read.
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR*) override { throw std::runtime_error("no address"); }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL*) override {
        throw std::runtime_error("no initiator");
    }
    HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders**) override {
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL value) override {
        cancelled = value != FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2**) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override {
        handled = value != FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures**) override {
        return E_FAIL;
    }

    bool cancelled = false;
    bool handled = false;
};

// The runtime gets S_OK from every handler of the host, whatever fails inside it: a failure is
// dealt with there. A navigation whose address cannot be read is refused.
TEST(HostHandlers, ReturnSuccessWhateverFailsInside) {
    win32_host::Application application;
    application.state = std::make_shared<win32_host::AsyncState>();
    FailingArgs args;
    EXPECT_EQ(win32_host::make_web_message_handler(&application)
                  ->Invoke(nullptr, static_cast<ICoreWebView2WebMessageReceivedEventArgs*>(&args)),
              S_OK);
    EXPECT_EQ(application.state->active_requests.load(), 0);
    EXPECT_EQ(win32_host::make_navigation_starting_handler()->Invoke(
                  nullptr, static_cast<ICoreWebView2NavigationStartingEventArgs*>(&args)),
              S_OK);
    EXPECT_TRUE(args.cancelled);
    EXPECT_EQ(win32_host::make_new_window_handler()->Invoke(
                  nullptr, static_cast<ICoreWebView2NewWindowRequestedEventArgs*>(&args)),
              S_OK);
    EXPECT_TRUE(args.handled);
}

TEST(HostHandlers, HandlerObjectsAreFreedWithTheirLastReference) {
    const long before = win32::live_com_objects.load();
    {
        win32_host::Application application;
        auto message = win32_host::make_web_message_handler(&application);
        auto navigation = win32_host::make_navigation_starting_handler();
        auto window = win32_host::make_new_window_handler();
        EXPECT_EQ(win32::live_com_objects.load(), before + 3);
    }
    EXPECT_EQ(win32::live_com_objects.load(), before);
}

}  // namespace
}  // namespace host_test
