#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <webkit2/webkit2.h>

#include "app/linux/main_thread_delivery.h"

namespace linux_host {

// Replies on their way to the page. Each goes over in parts, each a string in a short script run
// in the bridge world, which joins them and hands the whole to the page. The next part goes once
// WebKit has run the one before, so WebKit's copies of only one part exist at a time and the
// parts of two replies never mix: a reply of megabytes as one script was copied several times
// over on its way, in this process and the page's.
struct PartSender {
    WebKitWebView* view = nullptr;
    std::weak_ptr<AsyncState> state;
    std::deque<std::string> replies;      // the first is on its way
    std::vector<std::string_view> parts;  // of the first
    std::size_t next = 0;                 // its part to send next
    bool busy = false;
};

// Main thread: queues `text` behind the replies still on their way and starts sending if idle.
void stream_reply(const std::shared_ptr<PartSender>& sender, std::string text);

// Replies go to the page in parts of at most this size (see PartSender).
inline constexpr std::size_t reply_part_bytes = 1 << 20;

// `text` cut into parts of at most `part_bytes` (at least 4), each ending between two UTF-8
// characters; one empty part for an empty text.
std::vector<std::string_view> reply_parts(std::string_view text, std::size_t part_bytes);

// The script that hands one part of a reply to the bridge world (see bridge_world_script).
std::string reply_part_script(std::string_view part, bool last);

}  // namespace linux_host
