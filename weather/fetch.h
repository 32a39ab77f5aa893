#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "weather/canonical_json.h"
#include "weather/http_client.h"

namespace weather {

inline constexpr std::size_t max_body_bytes = 12582912;  // 12 MiB; exactly this much is accepted
inline constexpr std::size_t read_chunk_bytes = 16384;
inline constexpr std::chrono::milliseconds retry_pause{350};
// Redirects (301, 302, 303, 307, 308 with a Location) followed within one attempt; the next
// one is answered as the status it is.
inline constexpr std::size_t max_redirects = 10;
// Every attempt, with the redirects it follows, ends this long after it began at the latest,
// however slowly the server keeps sending.
inline constexpr std::chrono::milliseconds attempt_time_limit{60000};

// A body is kept in blocks of at most this size as it arrives, so a document of megabytes never
// needs one buffer twice its size while it grows, and each block can be given back once read.
inline constexpr std::size_t body_block_bytes = 1 << 20;

// Outcome of one GET: the server's status and body, or status 502 with a finished error text.
struct HttpResult {
    std::int32_t status = 0;
    std::vector<std::string> body;  // the bytes received, in blocks of at most body_block_bytes
    std::string error;
};

// What the fetch path needs from outside: the HTTP client, a way to pause the calling thread
// before a retry and the operation the fetches are made for, which decides the hosts they may
// reach (allowed_hosts). Holds no mutable state, so one FetchContext serves any number of threads.
struct FetchContext {
    const HttpClient& client;
    std::function<void(std::chrono::milliseconds)> pause = [](std::chrono::milliseconds pause) {
        std::this_thread::sleep_for(pause);
    };
    std::chrono::milliseconds time_limit = attempt_time_limit;  // of each attempt
    std::string_view operation = {};  // a static name; none reaches no host

    // The same transport, its fetches made for `name`.
    FetchContext for_operation(std::string_view name) const {
        FetchContext scoped = *this;
        scoped.operation = name;
        return scoped;
    }
};

// One GET of an https URL on a host that allows `operation`, following redirects only to such
// hosts over https, all within `time_limit`. Reports every network, status and size failure
// in the result (another host, or a redirect to one, as an unexpected host); throws
// std::runtime_error only for a URL that is not UTF-8.
HttpResult http_get(const HttpClient& client, const std::string& url, std::string_view operation,
                    std::chrono::milliseconds time_limit = attempt_time_limit);

// http_get, tried once more after a pause when the first attempt gave 502, 503 or 504.
HttpResult http_get_retrying(const FetchContext& transport, const std::string& url);

// The decoded JSON document behind `url`; an empty array for a 204 when `allow_no_content`.
// Throws std::runtime_error with a finished, user-facing text that ends in ": " + url (except
// for a URL that is not UTF-8).
nlohmann::json fetch_json(const FetchContext& transport, const std::string& url,
                          bool allow_no_content);

// fetch_json for a document passed on as it is: its compact text and form, and what `options`
// asks for, written without holding the parsed value (see compact_document); a 204 the caller
// allows is an empty array. The same failures and texts.
CompactDocument fetch_compact_json(const FetchContext& transport, const std::string& url,
                                   bool allow_no_content, const CompactOptions& options = {});

}  // namespace weather
