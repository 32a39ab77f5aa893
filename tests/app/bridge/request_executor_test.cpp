#include "app/bridge/request_executor.h"

#include <condition_variable>
#include <thread>

#include <gtest/gtest.h>

#include "app/bridge/web_message.h"

namespace bridge {
namespace {

// The queue in WebView2's form, so the encoding on the worker is exercised too.
using ReplyText = std::u16string;
using AsyncState = bridge::AsyncState<ReplyText>;

// A stand-in for a host's end of the reply path: counts its wake-ups and can refuse them.
struct FakeSink final : ReplySink {
    bool request_delivery() noexcept override {
        ++rings;
        return !refuse;
    }
    std::atomic<int> rings{0};
    std::atomic<bool> refuse{false};
};

// The replies as text, whatever the host's form of them.
std::vector<std::string> texts(const std::deque<ReplyText>& replies) {
    std::vector<std::string> result;
    for (const ReplyText& reply : replies) {
        result.emplace_back(reply.begin(), reply.end());  // ASCII replies only
    }
    return result;
}

weather::Response alerts_ok(const std::string&, const std::string&) {
    return weather::Response{200, R"({"features":[]})"};
}

// A detached worker over a share of the state, as the hosts start them.
void start_worker(std::shared_ptr<AsyncState> state, PageRequest request, OperationRunner run) {
    std::thread([state = std::move(state), request = std::move(request), run = std::move(run)] {
        run_request(*state, request, run);
    }).detach();
}

class RequestExecutorTest : public ::testing::Test {
protected:
    void SetUp() override { state->open(sink); }
    void TearDown() override { state->close(); }

    FakeSink sink;
    std::shared_ptr<AsyncState> state = std::make_shared<AsyncState>();
};

TEST_F(RequestExecutorTest, QueuesTheSerialisedReplyThenReleasesTheSlot) {
    ASSERT_TRUE(try_reserve_slot(state->active_requests));
    run_request(*state, PageRequest{7, "alerts", ""}, alerts_ok);
    EXPECT_EQ(state->active_requests.load(), 0);
    EXPECT_EQ(texts(state->take_replies()),
              std::vector<std::string>{R"({"body":{"features":[]},"id":7,"status":200})"});
    EXPECT_EQ(sink.rings.load(), 1);
}

TEST_F(RequestExecutorTest, AnOperationThatThrowsIsAnswered500) {
    ASSERT_TRUE(try_reserve_slot(state->active_requests));
    run_request(*state, PageRequest{"a", "point", "x"},
                [](const std::string&, const std::string&) -> weather::Response {
                    throw std::runtime_error("mutex failure");
                });
    EXPECT_EQ(
        texts(state->take_replies()),
        std::vector<std::string>{R"({"body":{"error":"mutex failure"},"id":"a","status":500})"});
    EXPECT_EQ(state->active_requests.load(), 0);
}

// The UI thread is woken once per emptied queue and takes everything queued by then; a wake-up
// that cannot be sent drops its reply, and the next one is tried again.
TEST_F(RequestExecutorTest, OneWakeUpPerEmptiedQueue) {
    for (int id = 0; id < 3; ++id) {
        EXPECT_TRUE(state->hand_over(encode_reply<ReplyText>("[" + std::to_string(id) + "]")));
    }
    EXPECT_EQ(sink.rings.load(), 1);
    EXPECT_EQ(texts(state->take_replies()), (std::vector<std::string>{"[0]", "[1]", "[2]"}));
    EXPECT_TRUE(state->take_replies().empty()) << "a wake-up that finds nothing is harmless";

    sink.refuse = true;
    EXPECT_FALSE(state->hand_over(encode_reply<ReplyText>("[3]")));
    sink.refuse = false;
    EXPECT_TRUE(state->hand_over(encode_reply<ReplyText>("[4]")));
    EXPECT_EQ(sink.rings.load(), 3);
    EXPECT_EQ(texts(state->take_replies()), std::vector<std::string>{"[4]"});
}

TEST_F(RequestExecutorTest, NoWindowOrARefusedPostFreesTheReply) {
    for (const bool closed : {false, true}) {
        if (closed) {
            state->close();
        } else {
            sink.refuse = true;
        }
        ASSERT_TRUE(try_reserve_slot(state->active_requests));
        run_request(*state, PageRequest{1, "alerts", ""}, alerts_ok);
        EXPECT_EQ(state->active_requests.load(), 0);
        EXPECT_TRUE(state->take_replies().empty());
    }
    EXPECT_EQ(sink.rings.load(), 1) << "a closed path wakes nobody";
}

TEST_F(RequestExecutorTest, AnUnencodableReplyStillReleasesItsSlot) {
    ASSERT_TRUE(try_reserve_slot(state->active_requests));
    // An id that is not UTF-8 cannot be serialised (the message parser never makes one).
    run_request(*state, PageRequest{"\xC3", "alerts", ""}, alerts_ok);
    EXPECT_EQ(state->active_requests.load(), 0);
    EXPECT_TRUE(state->take_replies().empty());
    EXPECT_THROW(encode_reply<ReplyText>("\xC3"), std::runtime_error);  // UTF-16 for the view
}

// Workers finish while the window closes: every reply is taken before the close or freed by
// it, none is queued after it (LeakSanitizer checks the freeing), and every slot comes back.
TEST_F(RequestExecutorTest, ShutdownRacingWorkersLosesAndLeaksNothing) {
    for (int round = 0; round < 20; ++round) {
        auto shared = std::make_shared<AsyncState>();
        FakeSink target;
        shared->open(target);
        std::atomic<int> finished{0};
        const OperationRunner run = [&](const std::string&, const std::string&) {
            finished.fetch_add(1);
            return weather::Response{200, "[]"};
        };
        int accepted = 0;
        for (int i = 0; i < 8; ++i) {
            if (try_reserve_slot(shared->active_requests)) {
                start_worker(shared, PageRequest{i, "alerts", ""}, run);
                ++accepted;
            }
        }
        EXPECT_EQ(accepted, 8);
        if (round % 2 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(50 * round));
        }
        const std::size_t delivered_before_close = shared->take_replies().size();
        shared->close();
        // Bounded, so a worker that never finishes fails here instead of stalling the run.
        for (int wait = 0; wait < 10000 && shared->active_requests.load() != 0; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(shared->active_requests.load(), 0) << "round " << round;
        EXPECT_TRUE(shared->take_replies().empty()) << "nothing is queued after the close";
        EXPECT_FALSE(shared->hand_over(u"[]")) << "no reply goes to a sink any more";
        EXPECT_LE(delivered_before_close, 8u);
        EXPECT_EQ(finished.load(), 8);
        // Workers drop their share after releasing the slot; wait for the last of them.
        for (int wait = 0; wait < 1000 && shared.use_count() != 1; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(shared.use_count(), 1);
    }
}

TEST_F(RequestExecutorTest, TheStateOutlivesTheApplicationsShare) {
    std::mutex mutex;
    std::condition_variable released;
    bool go = false;
    std::weak_ptr<AsyncState> watch = state;
    ASSERT_TRUE(try_reserve_slot(state->active_requests));
    start_worker(state, PageRequest{1, "alerts", ""}, [&](const std::string&, const std::string&) {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return go; });
        return weather::Response{200, "[]"};
    });
    state->close();
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
    state = std::make_shared<AsyncState>();  // for TearDown
}

}  // namespace
}  // namespace bridge
