#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "weather/http_client.h"

namespace transport {

// `text` + " (Windows error " + `code` in unsigned decimal + ")".
std::string with_windows_error(std::string_view text, std::uint32_t code);

// The same with the calling thread's last Windows error, read before anything else is done;
// call it on the failing thread straight after the failing call.
std::string with_windows_error(std::string_view text);

// The transport's client on Windows: synchronous WinHTTP, a session, connection and request of
// its own for every exchange, nothing shared between exchanges, so any thread may use it.
// Redirects are not followed; every wait ends by the exchange's deadline, which is reported
// as WinHTTP's time-out (ERROR_WINHTTP_TIMEOUT).
class WinHttpClient final : public weather::HttpClient {
public:
    // WinHttpCrackUrl; nullopt when it refuses the URL.
    std::optional<base::CrackedUrl> crack_url(const std::u16string& url) const override;
    // An exchange whose failing step keeps the thread's last error of that step for
    // failure_text, so the code survives whatever runs before the text is built.
    std::unique_ptr<weather::HttpExchange> start_exchange(
        weather::Deadline deadline) const override;
};

}  // namespace transport
