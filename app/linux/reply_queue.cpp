#include "app/linux/reply_queue.h"

namespace linux_host {

ReplyQueue::ReplyQueue(std::function<void(const std::string&)> deliver)
    : deliver(std::move(deliver)) {}

ReplyQueue::~ReplyQueue() {
    drain();
}

bool ReplyQueue::post(std::string* reply) {
    std::lock_guard lock(mutex);
    replies.emplace_back(reply);
    if (pending_source == 0) {
        pending_source = g_idle_add(&ReplyQueue::deliver_queued, this);
    }
    return true;
}

void ReplyQueue::drain() {
    std::deque<std::unique_ptr<std::string>> dropped;
    std::lock_guard lock(mutex);
    if (pending_source != 0) {
        g_source_remove(pending_source);
        pending_source = 0;
    }
    dropped.swap(replies);
}

std::size_t ReplyQueue::queued() const {
    std::lock_guard lock(mutex);
    return replies.size();
}

gboolean ReplyQueue::deliver_queued(gpointer self) {
    auto* queue = static_cast<ReplyQueue*>(self);
    std::deque<std::unique_ptr<std::string>> taken;
    {
        std::lock_guard lock(queue->mutex);
        queue->pending_source = 0;
        taken.swap(queue->replies);
    }
    for (const auto& reply : taken) {
        try {
            queue->deliver(*reply);
        } catch (...) {
            // A reply that cannot be delivered is dropped; the rest still go.
        }
    }
    return G_SOURCE_REMOVE;
}

}  // namespace linux_host
