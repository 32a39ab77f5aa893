#include "transport/curl_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#include "base/unicode.h"
#include "weather/canonical_json.h"
#include "weather/services.h"

namespace transport {
namespace {

// The same limits as the Windows client: 8 s to resolve and connect, and 14 s without a byte
// from the server (waiting for the response or inside the body) ends the request.
constexpr long connect_timeout_ms = 8000;
constexpr std::chrono::milliseconds receive_timeout{14000};
// Received data waiting to be read is bounded; curl is paused beyond this.
constexpr std::size_t pending_limit = 65536;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

class CurlExchange : public weather::HttpExchange {
public:
    explicit CurlExchange(weather::Deadline deadline) : deadline(deadline) {}

    ~CurlExchange() override {
        if (added) {
            curl_multi_remove_handle(multi.get(), easy.get());
        }
    }

    bool open_session() override {
        easy.reset(curl_easy_init());
        multi.reset(curl_multi_init());
        if (!easy || !multi) {
            return fail(CURLE_FAILED_INIT);
        }
        // Results of the option calls are not checked, as with the Windows client's options.
        curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, weather::user_agent);
        curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS, connect_timeout_ms);
        curl_easy_setopt(easy.get(), CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
        curl_easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "https");
        // The transport follows redirects itself, after checking where they lead.
        curl_easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &CurlExchange::receive);
        curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy.get(), CURLOPT_HEADERFUNCTION, &CurlExchange::receive_header);
        curl_easy_setopt(easy.get(), CURLOPT_HEADERDATA, this);
        return true;
    }

    bool connect(const std::u16string& host, std::uint16_t port) override {
        this->host = base::utf16_to_utf8(host);
        this->port = port;
        return true;  // the connection is made when the request is sent
    }

    bool open_request(const std::u16string& object_name) override {
        std::string url = "https://" + host;
        if (port != 443) {
            url += ":" + std::to_string(port);
        }
        url += base::utf16_to_utf8(object_name);
        // The accept line without its CR LF; curl ends header lines itself.
        std::string accept = weather::accept_header;
        accept.resize(accept.size() - 2);
        headers.reset(curl_slist_append(nullptr, accept.c_str()));
        if (!headers) {
            return fail(CURLE_OUT_OF_MEMORY);
        }
        curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers.get());
        const CURLcode result = curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
        return result == CURLE_OK || fail(result);
    }

    bool send() override {
        if (const CURLMcode added_code = curl_multi_add_handle(multi.get(), easy.get());
            added_code != CURLM_OK) {
            return fail(CURLE_FAILED_INIT);
        }
        added = true;
        // Done once the response's headers are in, as WinHttpReceiveResponse is: a server that
        // then stays silent fails the first read, not the send.
        pump([this] { return headers_done || !pending.empty() || finished; });
        if (finished && result != CURLE_OK) {
            return fail(result);
        }
        return true;
    }

    bool query_status(std::int32_t& status) override {
        long code = 0;
        if (curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &code) != CURLE_OK || code == 0) {
            return fail(CURLE_GOT_NOTHING);
        }
        status = static_cast<std::int32_t>(code);
        return true;
    }

    bool read(std::span<char> buffer, std::size_t& bytes_read) override {
        if (pending.empty() && !finished) {
            if (paused) {
                paused = false;
                curl_easy_pause(easy.get(), CURLPAUSE_CONT);
            }
            pump([this] { return !pending.empty() || finished; });
        }
        if (!pending.empty()) {
            bytes_read = std::min(buffer.size(), pending.size() - pending_offset);
            std::memcpy(buffer.data(), pending.data() + pending_offset, bytes_read);
            pending_offset += bytes_read;
            if (pending_offset == pending.size()) {
                pending.clear();
                pending_offset = 0;
            }
            return true;
        }
        if (result != CURLE_OK) {
            return fail(result);
        }
        bytes_read = 0;
        return true;
    }

    std::optional<std::u16string> redirect_location() override {
        curl_header* location = nullptr;
        if (curl_easy_header(easy.get(), "Location", 0, CURLH_HEADER, -1, &location) != CURLHE_OK) {
            return std::nullopt;
        }
        // Bytes that are not UTF-8 cannot name either weather host; kept visible, not dropped.
        return base::utf8_to_utf16(base::valid_utf8(location->value));
    }

    bool timed_out() const override { return ended_by_deadline; }

    std::string failure_text(std::string_view text) const override {
        return std::string(text) + " (curl error " + std::to_string(static_cast<int>(error)) +
               ": " + curl_easy_strerror(error) + ")";
    }

private:
    static std::size_t receive(char* data, std::size_t size, std::size_t count, void* self) {
        auto* exchange = static_cast<CurlExchange*>(self);
        if (exchange->pending.size() >= pending_limit) {
            exchange->paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        exchange->pending.append(data, size * count);
        exchange->last_received = std::chrono::steady_clock::now();
        return size * count;
    }

    static std::size_t receive_header(char* data, std::size_t size, std::size_t count, void* self) {
        auto* exchange = static_cast<CurlExchange*>(self);
        exchange->last_received = std::chrono::steady_clock::now();
        // The blank line ends a response's headers; those of a 1xx response are not the last.
        const std::string_view line(data, size * count);
        if (line == "\r\n" || line == "\n") {
            long code = 0;
            curl_easy_getinfo(exchange->easy.get(), CURLINFO_RESPONSE_CODE, &code);
            exchange->headers_done = code >= 200;
        }
        return size * count;
    }

    template <typename Done>
    void pump(Done done) {
        // Waiting starts now: the time a caller spent between reads is not the server's.
        last_received = std::chrono::steady_clock::now();
        while (!done()) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                finished = true;
                result = CURLE_OPERATION_TIMEDOUT;
                ended_by_deadline = true;
                return;
            }
            if (now - last_received > receive_timeout) {
                finished = true;
                result = CURLE_OPERATION_TIMEDOUT;
                return;
            }
            int running = 0;
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
                finished = true;
                result = CURLE_SEND_ERROR;
                return;
            }
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
                if (message->msg == CURLMSG_DONE) {
                    finished = true;
                    result = message->data.result;
                }
            }
            if (!done() && running > 0) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                const int wait = static_cast<int>(std::clamp<long long>(left.count(), 1, 250));
                curl_multi_poll(multi.get(), nullptr, 0, wait, nullptr);
            } else if (running == 0) {
                finished = true;
            }
        }
    }

    bool fail(CURLcode code) {
        error = code;
        return false;
    }

    const weather::Deadline deadline;
    std::unique_ptr<CURL, EasyDeleter> easy;
    std::unique_ptr<CURLM, MultiDeleter> multi;
    std::unique_ptr<curl_slist, HeaderListDeleter> headers;
    bool added = false;
    std::string host;
    std::uint16_t port = 443;
    std::string pending;
    std::size_t pending_offset = 0;
    bool paused = false;
    bool finished = false;
    bool headers_done = false;
    bool ended_by_deadline = false;
    std::chrono::steady_clock::time_point last_received;
    CURLcode result = CURLE_OK;
    CURLcode error = CURLE_OK;
};

}  // namespace

CurlClient::CurlClient() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

std::unique_ptr<weather::HttpExchange> CurlClient::start_exchange(
    weather::Deadline deadline) const {
    return std::make_unique<CurlExchange>(deadline);
}

}  // namespace transport

namespace weather {

const HttpClient& platform_http_client() {
    // Never destroyed, for the same reason as the service that uses it.
    static const HttpClient& client = *new transport::CurlClient();
    return client;
}

}  // namespace weather
