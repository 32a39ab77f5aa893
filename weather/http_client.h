#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/url.h"

namespace weather {

// One HTTPS GET, performed step by step. Each step returns false on failure; the exchange
// then remembers the platform's error code of that step until `failure_text` reads it.
// Destroying the exchange closes what it opened: request, then connection, then session.
class HttpExchange {
public:
    virtual ~HttpExchange() = default;

    // Opens the session with the fixed User-Agent and automatic proxy, then sets the
    // time-outs and the gzip/deflate decoding without checking those two calls.
    [[nodiscard]] virtual bool open_session() = 0;
    [[nodiscard]] virtual bool connect(const std::u16string& host, std::uint16_t port) = 0;
    // A GET for `object_name` over TLS.
    [[nodiscard]] virtual bool open_request(const std::u16string& object_name) = 0;
    // Sends the request with the single Accept header and waits for the response headers.
    [[nodiscard]] virtual bool send() = 0;
    [[nodiscard]] virtual bool query_status(std::int32_t& status) = 0;
    // The response's Location header as sent (the client never follows it itself); nullopt
    // when there is none.
    virtual std::optional<std::u16string> redirect_location() = 0;
    // Reads the next piece of the decoded body; 0 bytes read means the body has ended.
    [[nodiscard]] virtual bool read(std::span<char> buffer, std::size_t& bytes_read) = 0;
    // `text` followed by the platform's description of the error of the step that failed.
    virtual std::string failure_text(std::string_view text) const = 0;
    // Whether the step that failed was ended by the exchange's deadline; its error is then the
    // platform's time-out code.
    virtual bool timed_out() const = 0;
};

using Deadline = std::chrono::steady_clock::time_point;

// A platform HTTP client. Implementations keep no state shared between exchanges.
class HttpClient {
public:
    virtual ~HttpClient() = default;

    virtual std::optional<base::CrackedUrl> crack_url(const std::u16string& url) const {
        return base::crack_url_portably(url);
    }
    // An exchange whose steps end by `deadline` at the latest: a step still waiting then fails
    // with the platform's time-out code. Redirects are never followed inside an exchange.
    virtual std::unique_ptr<HttpExchange> start_exchange(Deadline deadline) const = 0;
};

// The client of the platform the program was built for (WinHTTP on Windows, libcurl on
// Linux); defined by the platform client library that is linked in.
const HttpClient& platform_http_client();

}  // namespace weather
