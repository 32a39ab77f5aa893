#pragma once

#include <functional>
#include <memory>
#include <string>

#include <glib.h>

#include "app/bridge/async_state.h"

namespace linux_host {

// WebKitGTK takes each reply as the UTF-8 text itself.
using AsyncState = bridge::AsyncState<std::string>;

// Wakes the GTK main thread when replies wait in the shared state, and hands them to `deliver`
// there, in order. Held by a shared pointer: a wake-up still pending when it is gone does
// nothing.
class MainThreadDelivery final : public bridge::ReplySink,
                                 public std::enable_shared_from_this<MainThreadDelivery> {
public:
    // `deliver` runs on the main thread with each reply, which it then owns.
    MainThreadDelivery(std::weak_ptr<AsyncState> state, std::function<void(std::string)> deliver);

    // Any worker, under the state's lock: schedules one delivery on the main loop.
    bool request_delivery() noexcept override;

private:
    static gboolean deliver_queued(gpointer delivery);

    std::weak_ptr<AsyncState> state;
    std::function<void(std::string)> deliver;
};

}  // namespace linux_host
