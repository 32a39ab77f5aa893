#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/host_rules.h"
#include "app/linux/host.h"
#include "app/linux/main_thread_delivery.h"
#include "app/linux/page_files.h"

namespace linux_host {
namespace {

namespace fs = std::filesystem;

class PageFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("corvane-page-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "web" / "vendor");
        fs::create_directories(root / "secret");
        write(root / "web" / "index.html");
        write(root / "web" / "vendor" / "leaflet.js");
        write(root / "web" / "a b.css");
        write(root / "secret" / "key.txt");
        fs::create_symlink(root / "secret" / "key.txt", root / "web" / "link.txt");
        fs::create_symlink(root / "web" / "index.html", root / "web" / "inside.html");
    }
    void TearDown() override { fs::remove_all(root); }

    static void write(const fs::path& file) { std::ofstream(file) << "x"; }

    fs::path root;
};

TEST_F(PageFilesTest, ServesOnlyFilesInsideTheWebFolder) {
    struct Case {
        std::string uri;
        std::string file;  // relative to the web folder; "" when refused
    };
    const Case cases[] = {
        {"corvane-weather://app/index.html", "index.html"},
        {"corvane-weather://app/", "index.html"},
        {"corvane-weather://app/index.html?demo=1#x", "index.html"},
        {"corvane-weather://app/vendor/leaflet.js", "vendor/leaflet.js"},
        {"corvane-weather://app/vendor//leaflet.js", "vendor/leaflet.js"},
        {"corvane-weather://app/a%20b.css", "a b.css"},
        {"corvane-weather://app/inside.html", "index.html"},
        {"corvane-weather://app/../secret/key.txt", ""},
        {"corvane-weather://app/vendor/../../secret/key.txt", ""},
        {"corvane-weather://app/%2e%2e/secret/key.txt", ""},
        {"corvane-weather://app/link.txt", ""},
        {"corvane-weather://app/vendor", ""},
        {"corvane-weather://app/missing.js", ""},
        {"corvane-weather://app/%", ""},
        {"corvane-weather://app/%zz", ""},
        {"corvane-weather://app/index.html%00.js", ""},
        {"corvane-weather://app/..%5csecret", ""},
        {"corvane-weather://other/index.html", ""},
        {"corvane-weather://app", ""},
        {"https://corvane-weather.example/index.html", ""},
        {"file:///etc/passwd", ""},
    };
    for (const auto& c : cases) {
        const auto resolved = resolve_page_file(root / "web", c.uri);
        if (c.file.empty()) {
            EXPECT_FALSE(resolved.has_value()) << c.uri << " -> " << resolved.value_or("");
        } else {
            ASSERT_TRUE(resolved.has_value()) << c.uri;
            EXPECT_EQ(*resolved, fs::canonical(root / "web" / c.file)) << c.uri;
        }
    }
}

TEST_F(PageFilesTest, FindsTheWebFolderBesideTheProgramOrInstalled) {
    const fs::path tree = root / "tree";
    fs::create_directories(tree / "bin");
    fs::create_directories(tree / "share" / "corvane-weather" / "web");
    write(tree / "share" / "corvane-weather" / "web" / "index.html");
    EXPECT_EQ(web_folder_for(tree / "bin" / "corvane-weather"),
              tree / "share" / "corvane-weather" / "web");
    fs::create_directories(tree / "bin" / "web");
    write(tree / "bin" / "web" / "index.html");
    EXPECT_EQ(web_folder_for(tree / "bin" / "corvane-weather"), tree / "bin" / "web");
    // Neither: the folder beside the program, whose absence the window then reports.
    EXPECT_EQ(web_folder_for(root / "elsewhere" / "corvane-weather"), root / "elsewhere" / "web");
}

TEST(ContentType, NamesThePagesFileTypes) {
    EXPECT_EQ(content_type_for("index.html"), "text/html; charset=utf-8");
    EXPECT_EQ(content_type_for("map/layers.js"), "text/javascript; charset=utf-8");
    EXPECT_EQ(content_type_for("style.css"), "text/css; charset=utf-8");
    EXPECT_EQ(content_type_for("states-10m.json"), "application/json");
    EXPECT_EQ(content_type_for("LICENSE"), "application/octet-stream");
}

TEST(MainWindow, FollowsTheMonitorSize) {
    struct Case {
        host::Rectangle monitor;
        host::Rectangle window;
    };
    const Case cases[] = {
        {{0, 0, 1366, 768}, {35, 40, 1296, 688}},    {{0, 0, 1920, 1080}, {230, 60, 1460, 960}},
        {{0, 0, 2560, 1440}, {550, 240, 1460, 960}}, {{1920, 0, 1920, 1080}, {2150, 60, 1460, 960}},
        {{0, 0, 1531, 1041}, {35, 40, 1460, 960}},
    };
    for (const auto& c : cases) {
        const host::Rectangle window = host::main_window_rectangle(c.monitor);
        EXPECT_EQ(window.x, c.window.x);
        EXPECT_EQ(window.y, c.window.y);
        EXPECT_EQ(window.width, c.window.width);
        EXPECT_EQ(window.height, c.window.height);
    }
}

TEST(GraphicsDevice, CompositesOnlyWithARenderNodeOrNvidiasDevice) {
    struct Case {
        std::vector<std::string> files;  // under the devices folder
        bool found;
    };
    const Case cases[] = {
        {{}, false},
        {{"dri/card0"}, false},  // a display controller without a render node
        {{"dri/card0", "dri/renderD128"}, true},
        {{"nvidia0"}, true},
        {{"nvidiactl"}, false},
        {{"renderD128"}, false},  // not under dri/
    };
    for (const Case& c : cases) {
        const auto devices = std::filesystem::path(::testing::TempDir()) / "corvane-devices";
        std::filesystem::remove_all(devices);
        std::filesystem::create_directories(devices);
        for (const std::string& file : c.files) {
            std::filesystem::create_directories((devices / file).parent_path());
            std::ofstream(devices / file).put('\0');
        }
        EXPECT_EQ(has_graphics_device(devices), c.found) << ::testing::PrintToString(c.files);
        std::filesystem::remove_all(devices);
    }
}

TEST(Navigation, OnlyThePageItselfIsAllowed) {
    EXPECT_TRUE(is_page_address("corvane-weather://app/index.html"));
    EXPECT_TRUE(is_page_address("corvane-weather://app/"));
    EXPECT_TRUE(is_page_address("about:srcdoc"));
    EXPECT_FALSE(is_page_address("corvane-weather://app"));
    EXPECT_FALSE(is_page_address("Corvane-weather://app/index.html"));
    EXPECT_FALSE(is_page_address("corvane-weather://evil/index.html"));
    EXPECT_FALSE(is_page_address("https://corvane-weather.example/index.html"));
    EXPECT_FALSE(is_page_address("https://www.weather.gov/"));
    EXPECT_FALSE(is_page_address("file:///etc/passwd"));
    EXPECT_FALSE(is_page_address(""));
}

// Runs the default main context until nothing is pending.
void run_pending_events() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// A shared state with the delivery open on it; `deliver` records what reaches the main thread.
struct DeliveryFixture {
    explicit DeliveryFixture(std::function<void(const std::string&)> deliver)
        : delivery(std::make_shared<MainThreadDelivery>(state, std::move(deliver))) {
        state->open(*delivery);
    }
    ~DeliveryFixture() { state->close(); }
    std::shared_ptr<AsyncState> state = std::make_shared<AsyncState>();
    std::shared_ptr<MainThreadDelivery> delivery;
};

TEST(ReplyParts, CutsBetweenCharactersAndJoinsToTheWhole) {
    const std::string e_acute = "\xC3\xA9";       // 2 bytes
    const std::string snowman = "\xE2\x98\x83";   // 3 bytes
    const std::string face = "\xF0\x9F\x98\x80";  // 4 bytes
    struct Case {
        std::string text;
        std::size_t part_bytes;
        std::vector<std::size_t> sizes;
    };
    const Case cases[] = {
        {"", 4, {0}},
        {"abcd", 4, {4}},
        {"abcde", 4, {4, 1}},
        {"abc" + e_acute, 4, {3, 2}},        // the character would straddle the cut
        {"ab" + e_acute + "cd", 4, {4, 2}},  // it ends exactly at the cut
        {"a" + snowman + face, 4, {4, 4}},
        {face + face + face, 4, {4, 4, 4}},
        {"a" + face + "b", 4, {1, 4, 1}},
        {std::string(reply_part_bytes, 'x') + "y", reply_part_bytes, {reply_part_bytes, 1}},
    };
    for (const auto& c : cases) {
        const auto parts = reply_parts(c.text, c.part_bytes);
        std::vector<std::size_t> sizes;
        std::string joined;
        for (const auto part : parts) {
            sizes.push_back(part.size());
            joined += part;
        }
        EXPECT_EQ(sizes, c.sizes) << c.text;
        EXPECT_EQ(joined, c.text);
    }
}

TEST(ReplyParts, EachPartIsAStringLiteralOfItsOwnScript) {
    EXPECT_EQ(reply_part_script(R"({"a":"it's \"x\" \\"})", true),
              R"(corvaneReplyPart('{"a":"it\'s \\"x\\" \\\\"}', true);)");
    EXPECT_EQ(reply_part_script("[1,", false), "corvaneReplyPart('[1,', false);");
    EXPECT_EQ(reply_part_script("", true), "corvaneReplyPart('', true);");
}

TEST(MainThreadDelivery, DeliversOnTheMainThreadInOrder) {
    std::vector<std::string> delivered;
    std::thread::id delivering_thread;
    DeliveryFixture replies([&](const std::string& reply) {
        delivered.push_back(reply);
        delivering_thread = std::this_thread::get_id();
    });
    std::thread worker([&] {
        replies.state->hand_over("one");
        replies.state->hand_over("two");
    });
    worker.join();
    EXPECT_TRUE(delivered.empty()) << "nothing is delivered off the main loop";
    run_pending_events();
    EXPECT_EQ(delivered, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(delivering_thread, std::this_thread::get_id());
    EXPECT_TRUE(replies.state->take_replies().empty());
}

TEST(MainThreadDelivery, DrainFreesWithoutDelivering) {
    std::vector<std::string> delivered;
    DeliveryFixture replies([&](const std::string& reply) { delivered.push_back(reply); });
    EXPECT_TRUE(replies.state->hand_over("late"));
    replies.state->close();
    run_pending_events();
    EXPECT_TRUE(delivered.empty());
    EXPECT_TRUE(replies.state->take_replies().empty());
    EXPECT_FALSE(replies.state->hand_over("after")) << "a closed path takes no reply";
    run_pending_events();
    EXPECT_TRUE(delivered.empty());
}

TEST(MainThreadDelivery, AFailingDeliveryDoesNotStopTheOthers) {
    std::vector<std::string> delivered;
    DeliveryFixture replies([&](const std::string& reply) {
        if (reply == "bad") {
            throw std::runtime_error("no view");
        }
        delivered.push_back(reply);
    });
    replies.state->hand_over("bad");
    replies.state->hand_over("good");
    run_pending_events();
    EXPECT_EQ(delivered, std::vector<std::string>{"good"});
}

// A wake-up still pending when the host is gone finds nothing to deliver to.
TEST(MainThreadDelivery, APendingWakeUpOutlivesItsHost) {
    bool delivered = false;
    auto replies = std::make_unique<DeliveryFixture>([&](const std::string&) { delivered = true; });
    replies->state->hand_over("pending");
    replies.reset();
    run_pending_events();
    EXPECT_FALSE(delivered);
}

}  // namespace
}  // namespace linux_host
