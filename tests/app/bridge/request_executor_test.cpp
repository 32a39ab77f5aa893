#include "app/bridge/request_executor.h"

#include <condition_variable>
#include <deque>

#include <gtest/gtest.h>

#include "app/bridge/web_message.h"

namespace bridge {
namespace {

// A reply text that counts live instances, so a test can tell that every one was freed.
struct TrackedText {
    explicit TrackedText(std::string text) : text(std::move(text)) { ++live; }
    TrackedText(const TrackedText& other) : text(other.text) { ++live; }
    ~TrackedText() { --live; }
    std::string text;
    static inline std::atomic<int> live{0};
};

// A stand-in for the UI thread's message queue of one window.
struct FakeWindow {
    std::mutex mutex;
    std::deque<TrackedText*> queue;
    bool refuse_posts = false;

    bool post(TrackedText* text) {
        std::lock_guard lock(mutex);
        if (refuse_posts) {
            return false;
        }
        queue.push_back(text);
        return true;
    }

    // Takes every queued reply, as the window procedure or the shutdown drain would.
    std::vector<std::string> take_all() {
        std::lock_guard lock(mutex);
        std::vector<std::string> texts;
        for (TrackedText* text : queue) {
            texts.push_back(text->text);
            delete text;
        }
        queue.clear();
        return texts;
    }
};

using State = BasicAsyncState<FakeWindow*>;
using Channel = ReplyChannel<FakeWindow*, TrackedText>;

Channel channel_running(OperationRunner run) {
    return Channel{std::move(run), [](std::string utf8) { return TrackedText(std::move(utf8)); },
                   [](FakeWindow* window, TrackedText* text) { return window->post(text); }};
}

weather::Response alerts_ok(const std::string&, const std::string&) {
    return weather::Response{200, R"({"features":[]})"};
}

class RequestExecutorTest : public ::testing::Test {
protected:
    void SetUp() override {
        state->window = &window;
        TrackedText::live = 0;
    }
    void TearDown() override {
        window.take_all();
        EXPECT_EQ(TrackedText::live.load(), 0) << "a reply text leaked";
    }

    FakeWindow window;
    std::shared_ptr<State> state = std::make_shared<State>();
};

TEST_F(RequestExecutorTest, QueuesTheSerialisedReplyThenReleasesTheSlot) {
    ASSERT_TRUE(try_reserve_slot(state->active_requests));
    run_request(WorkerClosure<FakeWindow*>{state, PageRequest{7, "alerts", ""}},
                channel_running(alerts_ok));
    EXPECT_EQ(state->active_requests.load(), 0);
    EXPECT_EQ(window.take_all(),
              std::vector<std::string>{R"({"body":{"features":[]},"id":7,"status":200})"});
}

TEST_F(RequestExecutorTest, AnOperationThatThrowsIsAnswered500) {
    ASSERT_TRUE(try_reserve_slot(state->active_requests));
    run_request(WorkerClosure<FakeWindow*>{state, PageRequest{"a", "point", "x"}},
                channel_running([](const std::string&, const std::string&) -> weather::Response {
                    throw std::runtime_error("mutex failure");
                }));
    EXPECT_EQ(
        window.take_all(),
        std::vector<std::string>{R"({"body":{"error":"mutex failure"},"id":"a","status":500})"});
    EXPECT_EQ(state->active_requests.load(), 0);
}

TEST_F(RequestExecutorTest, NoWindowOrARefusedPostFreesTheReply) {
    for (const bool closed : {true, false}) {
        if (closed) {
            std::lock_guard lock(state->mutex);
            state->window = nullptr;
        } else {
            state->window = &window;
            window.refuse_posts = true;
        }
        ASSERT_TRUE(try_reserve_slot(state->active_requests));
        run_request(WorkerClosure<FakeWindow*>{state, PageRequest{1, "alerts", ""}},
                    channel_running(alerts_ok));
        EXPECT_EQ(state->active_requests.load(), 0);
        EXPECT_EQ(TrackedText::live.load(), 0);
        EXPECT_TRUE(window.take_all().empty());
    }
}

TEST_F(RequestExecutorTest, AnUnencodableReplyStillReleasesItsSlot) {
    ASSERT_TRUE(try_reserve_slot(state->active_requests));
    Channel channel = channel_running(alerts_ok);
    channel.encode = [](std::string) -> TrackedText { throw std::bad_alloc(); };
    run_request(WorkerClosure<FakeWindow*>{state, PageRequest{1, "alerts", ""}}, channel);
    EXPECT_EQ(state->active_requests.load(), 0);
    EXPECT_TRUE(window.take_all().empty());
}

// Workers finish while the window closes: every reply is delivered or freed exactly once, none
// is queued after the drain, and every slot comes back.
TEST_F(RequestExecutorTest, ShutdownRacingWorkersLosesAndLeaksNothing) {
    for (int round = 0; round < 20; ++round) {
        auto shared = std::make_shared<State>();
        FakeWindow target;
        shared->window = &target;
        std::atomic<int> finished{0};
        Channel channel = channel_running([&](const std::string&, const std::string&) {
            finished.fetch_add(1);
            return weather::Response{200, "[]"};
        });
        int accepted = 0;
        for (int i = 0; i < 8; ++i) {
            if (try_reserve_slot(shared->active_requests)) {
                start_worker(shared, PageRequest{i, "alerts", ""}, channel);
                ++accepted;
            }
        }
        EXPECT_EQ(accepted, 8);
        if (round % 2 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(50 * round));
        }
        // The shutdown sequence: clear the window under the mutex, then drain the queue.
        shared->closing.exchange(true);
        {
            std::lock_guard lock(shared->mutex);
            shared->window = nullptr;
        }
        const std::size_t delivered_before_close = target.take_all().size();
        while (shared->active_requests.load() != 0) {
            std::this_thread::yield();
        }
        EXPECT_TRUE(target.take_all().empty()) << "nothing is queued after the drain";
        EXPECT_LE(delivered_before_close, 8u);
        EXPECT_EQ(finished.load(), 8);
    }
    // Workers drop their closure after releasing the slot; wait for the last texts to go.
    for (int wait = 0; wait < 1000 && TrackedText::live.load() != 0; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST_F(RequestExecutorTest, TheStateOutlivesTheApplicationsShare) {
    std::mutex mutex;
    std::condition_variable released;
    bool go = false;
    std::weak_ptr<State> watch = state;
    ASSERT_TRUE(try_reserve_slot(state->active_requests));
    start_worker(state, PageRequest{1, "alerts", ""},
                 channel_running([&](const std::string&, const std::string&) {
                     std::unique_lock lock(mutex);
                     released.wait(lock, [&] { return go; });
                     return weather::Response{200, "[]"};
                 }));
    {
        std::lock_guard lock(state->mutex);
        state->window = nullptr;
    }
    state.reset();  // the application is gone; the worker still holds its share
    EXPECT_FALSE(watch.expired());
    {
        std::lock_guard lock(mutex);
        go = true;
    }
    released.notify_all();
    for (int wait = 0; wait < 5000 && !watch.expired(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace bridge
