#include "app/linux/reply_doorbell.h"

#include <new>

namespace linux_host {

ReplyDoorbell::ReplyDoorbell(std::weak_ptr<AsyncState> state,
                             std::function<void(std::string)> deliver)
    : state(std::move(state)), deliver(std::move(deliver)) {}

bool ReplyDoorbell::ring() noexcept {
    auto* self = new (std::nothrow) std::weak_ptr<ReplyDoorbell>(weak_from_this());
    if (self == nullptr) {
        return false;
    }
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, &ReplyDoorbell::deliver_queued, self,
                    [](gpointer data) { delete static_cast<std::weak_ptr<ReplyDoorbell>*>(data); });
    return true;
}

gboolean ReplyDoorbell::deliver_queued(gpointer doorbell) {
    const std::shared_ptr<ReplyDoorbell> self =
        static_cast<std::weak_ptr<ReplyDoorbell>*>(doorbell)->lock();
    const std::shared_ptr<AsyncState> shared = self ? self->state.lock() : nullptr;
    if (!shared) {
        return G_SOURCE_REMOVE;
    }
    for (std::string& reply : shared->take_replies()) {
        try {
            self->deliver(std::move(reply));
        } catch (...) {
            // A reply that cannot be delivered is dropped; the rest still go.
        }
    }
    return G_SOURCE_REMOVE;
}

}  // namespace linux_host
