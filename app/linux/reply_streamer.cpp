#include "app/linux/reply_streamer.h"

#include <algorithm>

#include "app/linux/bridge_scripts.h"

namespace linux_host {

namespace {

void send_next_part(const std::shared_ptr<PartSender>& sender);

void on_part_taken(GObject* view, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<std::shared_ptr<PartSender>> held(
        static_cast<std::shared_ptr<PartSender>*>(data));
    // A call that failed (the page was leaving) costs only its own reply: a new page's bridge
    // world starts with no parts.
    g_autoptr(JSCValue) value = webkit_web_view_call_async_javascript_function_finish(
        WEBKIT_WEB_VIEW(view), result, nullptr);
    PartSender& sender = **held;
    if (++sender.next == sender.parts.size()) {
        sender.parts.clear();
        sender.next = 0;
        sender.replies.pop_front();
    }
    send_next_part(*held);
}

void send_next_part(const std::shared_ptr<PartSender>& sender) {
    const std::shared_ptr<AsyncState> state = sender->state.lock();
    if (!state || state->closing || sender->replies.empty()) {
        sender->busy = false;
        sender->replies.clear();
        sender->parts.clear();
        sender->next = 0;
        return;
    }
    if (sender->parts.empty()) {
        sender->parts = reply_parts(sender->replies.front(), reply_part_bytes);
    }
    const std::string script =
        reply_part_script(sender->parts[sender->next], sender->next + 1 == sender->parts.size());
    sender->busy = true;
    webkit_web_view_evaluate_javascript(
        sender->view, script.c_str(), static_cast<gssize>(script.size()), bridge_world, nullptr,
        nullptr, &on_part_taken, new std::shared_ptr<PartSender>(sender));
}

}  // namespace

std::vector<std::string_view> reply_parts(std::string_view text, std::size_t part_bytes) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    do {
        std::size_t end = std::min(text.size(), start + part_bytes);
        // A part ends before a character's first byte, so each part is UTF-8 of its own.
        while (end > start + 1 && end < text.size() &&
               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            --end;
        }
        parts.push_back(text.substr(start, end - start));
        start = end;
    } while (start < text.size());
    return parts;
}

std::string reply_part_script(std::string_view part, bool last) {
    // The reply is JSON text, which holds no line breaks: within a string literal in single
    // quotes only the backslash and the single quote need escaping.
    const std::size_t escapes = static_cast<std::size_t>(
        std::count_if(part.begin(), part.end(), [](char c) { return c == '\\' || c == '\''; }));
    std::string script;
    script.reserve(part.size() + escapes + 32);
    script += "corvaneReplyPart('";
    for (const char c : part) {
        if (c == '\\' || c == '\'') {
            script += '\\';
        }
        script += c;
    }
    script += last ? "', true);" : "', false);";
    return script;
}

void stream_reply(const std::shared_ptr<PartSender>& sender, std::string text) {
    sender->replies.push_back(std::move(text));
    if (!sender->busy) {
        send_next_part(sender);
    }
}

}  // namespace linux_host
