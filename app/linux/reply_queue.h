#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <glib.h>

namespace linux_host {

// Carries serialised replies from request threads to the GTK main thread. A reply belongs to
// the queue from the moment `post` accepts it until it is delivered or drained.
class ReplyQueue {
public:
    // `deliver` runs on the main thread with each reply, in order.
    explicit ReplyQueue(std::function<void(const std::string&)> deliver);
    ReplyQueue(const ReplyQueue&) = delete;
    ReplyQueue& operator=(const ReplyQueue&) = delete;
    ~ReplyQueue();

    // Any thread: queues the reply and takes ownership of it. Callers post only while the
    // queue is still the state's target, under the state's mutex.
    bool post(std::string* reply);

    // Main thread: frees every queued reply without delivering it.
    void drain();

    std::size_t queued() const;

private:
    static gboolean deliver_queued(gpointer self);

    std::function<void(const std::string&)> deliver;
    mutable std::mutex mutex;
    std::deque<std::unique_ptr<std::string>> replies;
    guint pending_source = 0;
};

}  // namespace linux_host
