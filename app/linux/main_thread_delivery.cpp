#include "app/linux/main_thread_delivery.h"

#include <new>

namespace linux_host {

MainThreadDelivery::MainThreadDelivery(std::weak_ptr<AsyncState> state,
                                       std::function<void(std::string)> deliver)
    : state(std::move(state)), deliver(std::move(deliver)) {}

bool MainThreadDelivery::request_delivery() noexcept {
    auto* self = new (std::nothrow) std::weak_ptr<MainThreadDelivery>(weak_from_this());
    if (self == nullptr) {
        return false;
    }
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE, &MainThreadDelivery::deliver_queued, self,
        [](gpointer data) { delete static_cast<std::weak_ptr<MainThreadDelivery>*>(data); });
    return true;
}

gboolean MainThreadDelivery::deliver_queued(gpointer delivery) {
    const std::shared_ptr<MainThreadDelivery> self =
        static_cast<std::weak_ptr<MainThreadDelivery>*>(delivery)->lock();
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
