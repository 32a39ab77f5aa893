#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include <nlohmann/json.hpp>

#include "app/bridge/async_state.h"
#include "app/bridge/reply.h"
#include "app/bridge/web_message.h"

namespace bridge {

// Everything a worker owns: its share of the state and copies of the request. It holds no
// pointer to the application, the window object or the browser view.
template <typename Window>
struct WorkerClosure {
    std::shared_ptr<BasicAsyncState<Window>> state;
    PageRequest request;
};

// How a host runs requests and carries their replies to its UI thread. `Text` is the owned
// form of one serialised reply (UTF-16 on Windows).
template <typename Window, typename Text>
struct ReplyChannel {
    OperationRunner run;
    // The serialised UTF-8 reply in the form the UI thread hands to the browser view.
    std::function<Text(std::string utf8)> encode;
    // Queues the reply for the UI thread; true when ownership of the text passed to the
    // queue. Called only under the state's mutex and only with a non-empty window.
    std::function<bool(Window window, Text* text)> post;
};

// Body of a worker thread: forms the reply, queues it to the window while one is set, then
// gives the slot back. Every reply text is freed exactly once: by whoever takes the queued
// message, or here when there is no window or the post fails. Nothing escapes.
template <typename Window, typename Text>
void run_request(WorkerClosure<Window> closure,
                 const ReplyChannel<Window, Text>& channel) noexcept {
    std::unique_ptr<Text> text;
    try {
        text = std::make_unique<Text>(channel.encode(reply_text(
            closure.request.id, closure.request.operation, closure.request.argument, channel.run)));
    } catch (...) {
        // Out of memory while forming the reply: the request ends without one, but its slot
        // is still released below.
    }
    {
        std::lock_guard lock(closure.state->mutex);
        if (text && closure.state->window && channel.post(closure.state->window, text.get())) {
            text.release();  // now owned by the queued message
        }
    }
    // Released only after the reply is queued, so the count covers a request until then.
    release_slot(closure.state->active_requests);
}

// UI thread: starts a detached worker for an accepted request whose slot is reserved. Throws
// std::system_error when no thread can be created (the caller releases the slot).
template <typename Window, typename Text>
void start_worker(std::shared_ptr<BasicAsyncState<Window>> state, PageRequest&& request,
                  ReplyChannel<Window, Text> channel) {
    std::thread([closure = WorkerClosure<Window>{std::move(state), std::move(request)},
                 channel = std::move(channel)]() mutable {
        run_request(std::move(closure), channel);
    }).detach();
}

}  // namespace bridge
